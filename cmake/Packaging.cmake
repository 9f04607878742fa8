# Installation layout and the packages CPack builds from it.
#
# Linux: bin/corvane and bin/corvane-cli, the desktop entry, the icon in the hicolor theme, the
# manual pages, the AppStream metadata, the copyright file and the changelog, packed as a .deb
# whose dependencies dpkg-shlibdeps computes from the programs' shared libraries.
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

    # The texts that carry the version are configured with it; the manual pages and the
    # changelog are compressed as Debian wants them: at most, with no name or time stamp.
    set(docs ${PROJECT_BINARY_DIR}/packaging)
    set(metainfo io.github.corvane.Corvane.metainfo.xml)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/${metainfo}.in ${docs}/${metainfo} @ONLY)
    set(compressed)
    foreach(text man/corvane.1 man/corvane-cli.1 changelog)
        configure_file(${PROJECT_SOURCE_DIR}/packaging/${text}.in ${docs}/${text} @ONLY)
        add_custom_command(OUTPUT ${docs}/${text}.gz
                           COMMAND gzip -9 -n -f -k ${docs}/${text}
                           DEPENDS ${docs}/${text} VERBATIM)
        list(APPEND compressed ${docs}/${text}.gz)
    endforeach()
    add_custom_target(corvane_docs ALL DEPENDS ${compressed})

    install(FILES ${docs}/man/corvane.1.gz ${docs}/man/corvane-cli.1.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${docs}/${metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${docs}/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/corvane)
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
