# What "cmake --install" puts where, and the Debian package made of it by CPack.
# Included after both programs are defined.
include(GNUInstallDirs)

set(brintale_app_id example.quorvane.Brintale)
set(brintale_resources ${PROJECT_SOURCE_DIR}/resources)

install(TARGETS brintale brintale-count RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The window's program, which the launcher brintale starts; from libexec/ as from bin/, the
# data lies in ../share/brintale.
install(TARGETS brintale_window RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR})
install(TARGETS brintale_document_module LIBRARY DESTINATION ${BRINTALE_MODULE_DIR})
# Data stays out of bin/; the program looks beside itself, then in ../share/brintale.
install(FILES ${brintale_resources}/HAND-M.CUR DESTINATION ${CMAKE_INSTALL_DATADIR}/brintale)
install(FILES ${brintale_resources}/${brintale_app_id}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${brintale_resources}/${brintale_app_id}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48 64 128 256)
    install(FILES ${brintale_resources}/icons/hicolor/${size}x${size}/apps/brintale.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${brintale_resources}/icons/hicolor/scalable/apps/brintale.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/completion/brintale-count
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
# The pictures the metainfo shows, as scripts/take-screenshots took them.
install(FILES ${brintale_resources}/screenshots/main-window.png
              ${brintale_resources}/screenshots/abbreviations.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/brintale/screenshots)

# The man pages carry the version, and are compressed without a time stamp as Debian wants.
set(man_pages)
foreach(page brintale.1 brintale-count.1)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/man/${page}.in man/${page} @ONLY)
    add_custom_command(OUTPUT man/${page}.gz
        COMMAND gzip -9 --no-name --keep --force ${page}
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/man
        DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/man/${page}
        VERBATIM)
    list(APPEND man_pages ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz)
endforeach()
add_custom_target(brintale_man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# What Debian policy asks of every package: the copyright file, machine-readable, and the
# changelog, which a native package (a version without a Debian revision) calls changelog.gz.
set(brintale_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/brintale)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog doc/changelog COPYONLY)
add_custom_command(OUTPUT doc/changelog.gz
    COMMAND gzip -9 --no-name --keep --force changelog
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/doc
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog
    VERBATIM)
add_custom_target(brintale_changelog ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright
              ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz
        DESTINATION ${brintale_doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME brintale)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Brintale Software")
set(CPACK_PACKAGE_CONTACT "Brintale Software <support@quorvane.example>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Brintale Software <support@quorvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop sentence counter")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Brintale cuts a text into sentences and lists each on its own row, under\n"
    "their number. The characters that end a sentence can be chosen, and a list\n"
    "of abbreviations such as \"etc.\" keeps their full stops from ending one.\n"
    "The sentences can be saved to a text file, copied to the clipboard or\n"
    "exported to a spreadsheet.\n"
    "\n"
    "The brintale-count command gives the same counting to scripts and pipelines.")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.quorvane.example/")
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Library dependencies come from dpkg-shlibdeps. The window also needs a platform plugin,
# which Qt's own packages only recommend; opening the workbook goes through xdg-open.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The readers of documents are named too, though dpkg-shlibdeps finds them as well.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libzip4, libpoppler126, libmd4c0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
