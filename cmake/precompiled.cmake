# Precompiled headers. Much of a file's compile time goes into the same headers: Qt's
# (QtWidgets alone takes seconds), GoogleTest's and the standard library's. Each group of
# targets that compiles with the same flags shares one precompiled header (REUSE_FROM), made
# by a small donor library, so that a test program of one or two files pays nothing extra.
#
# GCC uses a precompiled header only when the flags that shape it match (optimisation,
# position-independent code, the macros its headers test); otherwise it reads the headers
# as usual, with the warning -Winvalid-pch (which CMake turns on), and the build stays
# correct, only slower. Hence one donor per kind: the Qt programs with and without widgets,
# the tests with and without Qt. The headers of a donor are visible in every file that uses
# it, so each file still includes what it needs: VARNEL_PCH=OFF builds without, to check that.
option(VARNEL_PCH "Share precompiled headers between targets with the same flags" ON)

set(_varnel_pch_std <algorithm> <array> <atomic> <chrono> <cstdint> <cstdio> <cstdlib>
  <cstring> <filesystem> <fstream> <functional> <map> <memory> <optional> <sstream> <string>
  <thread> <vector>)
set(_varnel_pch_qt_core <QByteArray> <QCoreApplication> <QDateTime> <QDir> <QFile>
  <QFileInfo> <QObject> <QRegularExpression> <QString> <QStringList> <QTimer> <QVariant>)
set(_varnel_pch_qt_widgets <QApplication> <QCheckBox> <QComboBox> <QDialog> <QHBoxLayout>
  <QKeyEvent> <QLabel> <QLineEdit> <QListWidget> <QMenu> <QMessageBox> <QPushButton>
  <QSpinBox> <QVBoxLayout> <QWidget>)
# The Qt modules that bring QtWidgets with them.
set(_varnel_qt_widgets "Qt6::(Widgets|PrintSupport|Charts|OpenGLWidgets)")
# Qt Test stays out: its headers test QT_TESTCASE_BUILDDIR, which differs between folders.

# A donor: an object library of one empty file that precompiles HEADERS with the flags that
# linking LIBS gives.
function(varnel_pch_donor name)
  cmake_parse_arguments(arg "" "" "LIBS;HEADERS" ${ARGN})
  set(source ${CMAKE_CURRENT_BINARY_DIR}/${name}.cpp)
  file(CONFIGURE OUTPUT ${source} CONTENT "// The donor of a shared precompiled header.\n")
  add_library(${name} OBJECT ${source})
  target_link_libraries(${name} PRIVATE ${arg_LIBS})
  target_precompile_headers(${name} PRIVATE ${arg_HEADERS})
endfunction()

# Every target that TARGET links, directly or through others, into OUT.
function(_varnel_link_closure target out)
  set(seen "")
  set(queue ${target})
  list(LENGTH queue left)
  while(left GREATER 0)
    list(POP_FRONT queue t)
    list(LENGTH queue left)
    if(t IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${t})
    # (A target imported in another folder is not known here: listed by name only.)
    if(NOT TARGET ${t})
      continue()
    endif()
    get_target_property(type ${t} TYPE)
    set(props INTERFACE_LINK_LIBRARIES)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      list(APPEND props LINK_LIBRARIES)
    endif()
    foreach(prop ${props})
      get_target_property(libs ${t} ${prop})
      if(libs)
        foreach(lib ${libs})
          string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" lib "${lib}")
          list(APPEND queue ${lib})
        endforeach()
        list(LENGTH queue left)
      endif()
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Gives each compiled target among TARGETS the donor that matches what it links: the first
# of the DONORS pairs "donor;needs" where the target links everything that needs names
# ("A&B": both, each a regular expression for a target's name); no donor when none matches.
function(varnel_pch_share)
  cmake_parse_arguments(arg "" "" "TARGETS;DONORS" ${ARGN})
  if(NOT VARNEL_PCH)
    return()
  endif()
  foreach(target ${arg_TARGETS})
    get_target_property(type ${target} TYPE)
    get_target_property(imported ${target} IMPORTED)
    if(imported OR NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|OBJECT_LIBRARY)$"
       OR target MATCHES "^varnel_pch_")
      continue()
    endif()
    _varnel_link_closure(${target} linked)
    set(pairs ${arg_DONORS})
    while(pairs)
      list(POP_FRONT pairs donor needs)
      set(matches TRUE)
      string(REPLACE "&" ";" needs "${needs}")
      foreach(need ${needs})
        set(found ${linked})
        list(FILTER found INCLUDE REGEX "^(${need})$")
        if(NOT found)
          set(matches FALSE)
        endif()
      endforeach()
      if(TARGET ${donor} AND matches)
        target_precompile_headers(${target} REUSE_FROM ${donor})
        break()
      endif()
    endwhile()
  endforeach()
endfunction()

# The targets of the folders DIRS and of the folders below them, into OUT.
function(varnel_targets_of out)
  set(all "")
  foreach(dir ${ARGN})
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(below DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    if(below)
      varnel_targets_of(targets_below ${below})
      list(APPEND targets ${targets_below})
    endif()
    list(APPEND all ${targets})
  endforeach()
  set(${out} ${all} PARENT_SCOPE)
endfunction()
