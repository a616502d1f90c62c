# What `cmake --install` and `cpack -G DEB` put where. Included after every program folder,
# so the window program's rules apply as soon as its target exists.
include(GNUInstallDirs)

set(VARNEL_SYSTEMD_UNITDIR "lib/systemd/system" CACHE STRING
    "Folder of the systemd units, below the install prefix")
set(VARNEL_SYSUSERSDIR "lib/sysusers.d" CACHE STRING
    "Folder of the systemd-sysusers files, below the install prefix")
set(_pkg ${PROJECT_SOURCE_DIR}/packaging)

# The man pages name the version of project(): they are made from their templates.
set(_man ${CMAKE_CURRENT_BINARY_DIR}/packaging/man)
foreach(_page varnel-collect vtq-sim vtq-read idc-dump idc2csv varnel-history idc-plot varnel-export)
  configure_file(${_pkg}/man/${_page}.1.in ${_man}/${_page}.1 @ONLY)
endforeach()

# The installed programs find the mark in their data folder and so keep their log and
# default data folder in the per-user data folder, never beside themselves.
file(RELATIVE_PATH _mark "/p/${CMAKE_INSTALL_BINDIR}" "/p/${CMAKE_INSTALL_DATADIR}/varnel/installed")
target_compile_definitions(varnel_common PRIVATE VARNEL_INSTALLED_MARK="${_mark}")
install(FILES ${_pkg}/installed DESTINATION ${CMAKE_INSTALL_DATADIR}/varnel)

install(TARGETS varnel-collect vtq-sim vtq-read idc-dump idc2csv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES
  ${_man}/varnel-collect.1
  ${_man}/vtq-sim.1
  ${_man}/vtq-read.1
  ${_man}/idc-dump.1
  ${_man}/idc2csv.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The contact history and its tools. The collector opens the history through Qt SQL's SQLite
# driver, a plugin that no library dependency names, so the package depends on it by name.
set(_depends "")
if(TARGET varnel-history)
  install(TARGETS varnel-history idc-plot RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${_man}/varnel-history.1 ${_man}/idc-plot.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  set(_depends "libqt6sql6-sqlite")
endif()
# The database beside the files and its backfill tool; PostgreSQL through its Qt SQL driver.
if(TARGET varnel-export)
  install(TARGETS varnel-export RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${_man}/varnel-export.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  set(_depends "${_depends}, libqt6sql6-psql")
endif()

if(TARGET varnel)
  install(TARGETS varnel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Qt's standard dialogs (files, printing, message-box buttons) in the window's language.
  set(_depends "${_depends}, qt6-translations-l10n")
  install(FILES ${_pkg}/varnel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${_pkg}/icons/varnel.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 48 256)
    install(FILES ${_pkg}/icons/varnel-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME varnel.png)
  endforeach()
endif()

# The service unit names the collector by its absolute path, which is known only when the
# install runs (cpack installs below /usr whatever the configured prefix was).
set(_unit ${CMAKE_CURRENT_BINARY_DIR}/packaging/varnel-collect@.service)
install(CODE "
  file(READ \"${_pkg}/varnel-collect@.service.in\" _text)
  set(_bindir \"${CMAKE_INSTALL_BINDIR}\")
  if(NOT IS_ABSOLUTE \"\${_bindir}\")
    set(_bindir \"\${CMAKE_INSTALL_PREFIX}/\${_bindir}\")
  endif()
  string(REPLACE \"@BINDIR@\" \"\${_bindir}\" _text \"\${_text}\")
  file(WRITE \"${_unit}\" \"\${_text}\")
")
install(FILES ${_unit} DESTINATION ${VARNEL_SYSTEMD_UNITDIR})
install(FILES ${_pkg}/sysusers-varnel.conf DESTINATION ${VARNEL_SYSUSERSDIR} RENAME varnel.conf)

# cpack -G DEB in the build folder: one package with the programs, the man pages, the unit
# and the desktop entry; its library dependencies come from dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnel)
set(CPACK_PACKAGE_VENDOR "Varnel developers")
set(CPACK_PACKAGE_CONTACT "Varnel developers <varnel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "collector for VTQ pressure loggers that call in by modem")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Varnel answers the calls of VTQ pressure loggers on a telephone modem, reads their
 recordings into .idc data files with backup copies and starts post-processing modules on
 them. The package holds the window program (when built), the console collector
 varnel-collect with a systemd unit per modem, the contact history varnel-history, the
 logger stand-in vtq-sim, the one-shot reader vtq-read and the file tools idc-dump, idc2csv
 and idc-plot.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${_depends}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${_pkg}/deb/postinst ${_pkg}/deb/prerm ${_pkg}/deb/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
