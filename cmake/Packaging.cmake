# Installation layout and the packages CPack builds from it.
#
# Linux: bin/corvane and bin/corvane-cli, the desktop entry and the icon in the hicolor theme,
# packed as a .deb whose dependencies dpkg-shlibdeps computes from the programs' shared
# libraries.
# Windows: bin/corvane.exe and bin/corvane-cli.exe with the Qt libraries beside them (see
# app/CMakeLists.txt), packed as a zip.
include(GNUInstallDirs)

if(UNIX AND NOT APPLE)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/corvane.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/corvane.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/corvane-128.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps RENAME corvane.png)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/corvane.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

set(CPACK_PACKAGE_NAME "corvane")
set(CPACK_PACKAGE_VENDOR "Corvane")
set(CPACK_PACKAGE_VERSION "${CORVANE_VERSION_TEXT}")
set(CPACK_PACKAGE_CONTACT "Corvane maintainers <maintainers@corvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "writes the instrument commands that differ between two set-ups")
# Each line becomes one line of the package's long description.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
       "Corvane compares two GPIB instrument command files, an Init set-up and a"
       "Reference set-up, and writes a New file that holds only the Reference"
       "commands the Init set-up does not already contain, so that an instrument"
       "can be taken from one set-up to the other by sending only what differs."
       "The corvane-cli program does the same for scripts, without a display.")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(CPACK_GENERATOR "ZIP")
else()
    set(CPACK_GENERATOR "DEB")
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "electronics")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The New file opens in the desktop's default application through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")

include(CPack)
