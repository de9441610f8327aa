# What `cmake --install` puts beside the programs: the polkit action (naming
# the installed main program, which is the path the launcher hands to
# pkexec), the shipped "PrivateData", the desktop entry, the MIME type of
# saved scan results and the icon.
include(GNUInstallDirs)

install(TARGETS quarnel-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(QUARNEL_MAIN_PROGRAM ${CMAKE_INSTALL_FULL_BINDIR}/quarnel)
configure_file(${PROJECT_SOURCE_DIR}/share/polkit/org.quarnel.launcher.policy
               ${PROJECT_BINARY_DIR}/share/polkit/org.quarnel.launcher.policy @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/share/polkit/org.quarnel.launcher.policy
        DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/actions)
if(NOT CMAKE_INSTALL_FULL_DATADIR STREQUAL "/usr/share")
  message(STATUS "polkit reads actions from /usr/share/polkit-1/actions only; with the prefix "
                 "${CMAKE_INSTALL_PREFIX} copy org.quarnel.launcher.policy there after installing")
endif()

install(FILES ${PROJECT_SOURCE_DIR}/share/quarnel/PrivateData.plist DESTINATION ${CMAKE_INSTALL_DATADIR}/quarnel)
install(FILES ${PROJECT_SOURCE_DIR}/share/applications/quarnel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/share/mime/packages/quarnel.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${PROJECT_SOURCE_DIR}/src/ui/resources/img/logo.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME quarnel.svg)
