# The Windows programs: icon and version information in every .exe, and what
# `cmake --install` puts into the folder that runs as it is (the programs, the Qt DLLs and
# plugins they load, the MinGW runtime). Included instead of install.cmake on Windows.

# Icon and version information, one resource script per program.
function(varnel_windows_resources target description)
  set(VARNEL_RC_NAME ${target})
  set(VARNEL_RC_DESCRIPTION "${description}")
  set(VARNEL_RC_ICON "${PROJECT_SOURCE_DIR}/packaging/icons/varnel.ico")
  set(rc ${CMAKE_BINARY_DIR}/resources/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

set(_varnel_programs
  "vtq-read|VTQ logger reader (direct line)"
  "varnel|Varnel - collector for VTQ pressure loggers"
  "varnel-collect|Varnel collector without a window"
  "varnel-history|Varnel contact history"
  "varnel-export|Data files into the Varnel database"
  "idc-plot|Plot of an .idc data file"
  "idc-dump|.idc data file dump"
  "idc2csv|.idc data files to CSV")
set(VARNEL_WINDOWS_PROGRAMS "")
foreach(entry ${_varnel_programs})
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 target)
  list(GET entry 1 description)
  if(TARGET ${target})
    varnel_windows_resources(${target} "${description}")
    list(APPEND VARNEL_WINDOWS_PROGRAMS ${target})
  endif()
endforeach()

# The message table of the "Varnel" event source, in varnel-collect.exe (the installer names
# it as the source's message file): the Event Viewer then shows an alert's own text.
if(TARGET varnel-collect)
  find_program(VARNEL_WINDMC NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-windmc
    x86_64-w64-mingw32-windmc windmc REQUIRED)
  set(_events ${CMAKE_BINARY_DIR}/resources/events)
  add_custom_command(OUTPUT ${_events}/event_messages.rc ${_events}/MSG00409.bin
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_events}
    COMMAND ${VARNEL_WINDMC} -h ${_events} -r ${_events}
            ${PROJECT_SOURCE_DIR}/packaging/windows/event_messages.mc
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/windows/event_messages.mc
    COMMENT "Message table of the Varnel event source")
  # Made here and compiled in the collector's folder: a target of its own orders the two.
  add_custom_target(varnel_event_messages DEPENDS ${_events}/event_messages.rc ${_events}/MSG00409.bin)
  add_dependencies(varnel-collect varnel_event_messages)
  target_sources(varnel-collect PRIVATE ${_events}/event_messages.rc)
  target_include_directories(varnel-collect PRIVATE ${_events})
endif()

# The window program is a GUI program: no console window opens with it.
# (Qt's WinMain then defines QT_NEEDS_QMAIN, which the shared precompiled header was made
# without: its two files go without.)
if(TARGET varnel)
  set_target_properties(varnel PROPERTIES WIN32_EXECUTABLE ON DISABLE_PRECOMPILE_HEADERS ON)
endif()

install(TARGETS ${VARNEL_WINDOWS_PROGRAMS} RUNTIME DESTINATION .)

# The installer puts the mark "installed" beside the programs: an installed copy keeps its
# data files in Documents\Varnel and its log in %LOCALAPPDATA%\Varnel, never in its own
# folder, even where it could write there (an elevated start). The deploy folder has no mark
# and runs as a copy of its own.
if(TARGET varnel_common)
  target_compile_definitions(varnel_common PRIVATE VARNEL_INSTALLED_MARK="installed")
endif()

# The MinGW runtime that the programs and Qt's DLLs link against, found where the compiler
# finds it.
if(NOT VARNEL_CORE_ONLY)
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${_path}" OR NOT EXISTS "${_path}")
      message(FATAL_ERROR "The MinGW runtime ${dll} was not found (${CMAKE_CXX_COMPILER})")
    endif()
    get_filename_component(_path "${_path}" REALPATH)
    install(FILES ${_path} DESTINATION .)
  endforeach()

  # Qt's DLLs, and the plugins that Qt loads from the program's folder: the Windows platform
  # (offscreen for tests and headless runs), the SQLite driver of the contact history and
  # the native widget style.
  set(_qt_dlls "")
  foreach(module Core Gui Widgets PrintSupport Sql Charts)
    list(APPEND _qt_dlls $<TARGET_FILE:Qt6::${module}>)
  endforeach()
  install(FILES ${_qt_dlls} DESTINATION .)
  install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>
                $<TARGET_FILE:Qt6::QOffscreenIntegrationPlugin> DESTINATION platforms)
  install(FILES $<TARGET_FILE:Qt6::QSQLiteDriverPlugin> DESTINATION sqldrivers)
  install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)

  # The PostgreSQL driver for --database postgresql://..., with the client library and the
  # OpenSSL it uses for TLS and password hashing (the Qt tree's PostgreSQL add-on, see
  # scripts/win-qt).
  if(TARGET Qt6::QPSQLDriverPlugin)
    install(FILES $<TARGET_FILE:Qt6::QPSQLDriverPlugin> DESTINATION sqldrivers)
    foreach(dll libpq.dll libssl-3-x64.dll libcrypto-3-x64.dll)
      if(NOT EXISTS "${QT6_INSTALL_PREFIX}/bin/${dll}")
        message(FATAL_ERROR "Qt's PostgreSQL driver is there but not ${QT6_INSTALL_PREFIX}/bin/${dll}")
      endif()
      install(FILES "${QT6_INSTALL_PREFIX}/bin/${dll}" DESTINATION .)
    endforeach()
  else()
    message(STATUS "No PostgreSQL driver in the Qt for Windows: the programs reach SQLite only")
  endif()

  # libcurl for the alert e-mail (the Qt tree's curl add-on, see scripts/win-qt), with its
  # licence. It uses Windows' own TLS and needs no other DLL.
  if(TARGET varnel_notify_mail)
    get_filename_component(_curl_prefix "${CURL_INCLUDE_DIR}" DIRECTORY)
    if(NOT EXISTS "${_curl_prefix}/bin/libcurl-4.dll")
      message(FATAL_ERROR "libcurl-4.dll not found beside ${CURL_INCLUDE_DIR} (the curl add-on)")
    endif()
    install(FILES "${_curl_prefix}/bin/libcurl-4.dll" DESTINATION .)
    if(EXISTS "${_curl_prefix}/share/licenses/curl/COPYING")
      install(FILES "${_curl_prefix}/share/licenses/curl/COPYING" DESTINATION licenses/curl)
    endif()
  endif()

  # Qt's own texts in German and Dutch (file and print dialogs, message-box buttons), loaded
  # by the window program in its language. The files do not depend on the platform: from
  # the Qt tree when it has them, else from the host's Qt of the same version
  # (qt6-translations-l10n).
  set(_qm_dirs "${QT6_INSTALL_PREFIX}/translations" "${QT_HOST_PATH}/share/qt6/translations")
  foreach(lang de nl)
    find_file(VARNEL_QTBASE_QM_${lang} qtbase_${lang}.qm PATHS ${_qm_dirs} NO_DEFAULT_PATH
              NO_CMAKE_FIND_ROOT_PATH)
    if(NOT VARNEL_QTBASE_QM_${lang})
      message(FATAL_ERROR "qtbase_${lang}.qm not found in ${_qm_dirs} (Debian: qt6-translations-l10n)")
    endif()
    install(FILES ${VARNEL_QTBASE_QM_${lang}} DESTINATION translations)
  endforeach()

  # `cmake --install --strip` strips the programs; the DLLs come with their debugging
  # symbols (the C++ runtime alone carries 20 MB of them) and are stripped here alike.
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      file(GLOB_RECURSE _dlls \"\${CMAKE_INSTALL_PREFIX}/*.dll\")
      foreach(_dll \${_dlls})
        execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${_dll}\")
      endforeach()
    endif()
  ")
endif()
