# Install rules for what a desktop needs besides the programs, and the Debian package.

# The copyright file in Debian's machine-readable form, made from LICENSE so that the two never
# disagree: the holder from its "Copyright (c)" line, the text from "Permission" on, each line
# indented and each blank line a " .".
file(READ "${PROJECT_SOURCE_DIR}/LICENSE" license)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" copyright_line "${license}")
set(ZARNEX_COPYRIGHT "${CMAKE_MATCH_1}")
string(FIND "${license}" "Permission is hereby granted" text_start)
string(SUBSTRING "${license}" ${text_start} -1 license_text)
string(STRIP "${license_text}" license_text)
string(REPLACE "\n\n" "\n.\n" license_text "${license_text}")
string(REPLACE "\n" "\n " license_text " ${license_text}")
set(ZARNEX_LICENSE_TEXT "${license_text}")
configure_file("${PROJECT_SOURCE_DIR}/packaging/copyright.in" "${PROJECT_BINARY_DIR}/copyright"
               @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/copyright" DESTINATION "${CMAKE_INSTALL_DOCDIR}")

if(ZARNEX_GUI)
    configure_file("${PROJECT_SOURCE_DIR}/data/org.zarnex.Zarnex.metainfo.xml.in"
                   "${PROJECT_BINARY_DIR}/org.zarnex.Zarnex.metainfo.xml" @ONLY)
    install(FILES "${PROJECT_SOURCE_DIR}/data/org.zarnex.Zarnex.desktop"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
    install(FILES "${PROJECT_BINARY_DIR}/org.zarnex.Zarnex.metainfo.xml"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
    install(FILES "${PROJECT_SOURCE_DIR}/data/org.zarnex.Zarnex.svg"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
    install(FILES "${PROJECT_SOURCE_DIR}/man/zarnex.1" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endif()

set(CPACK_PACKAGE_NAME zarnex)
set(CPACK_PACKAGE_VENDOR "The Zarnex authors")
set(CPACK_PACKAGE_CONTACT "The Zarnex authors <dev@zarnex.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "put files into GTA IMG archives and copy them out again")
set(CPACK_PACKAGE_DESCRIPTION
    "Zarnex puts loose game files (models, texture dictionaries, collision files)\n\
into the IMG archives of the 3D-era GTA games and copies them out again, in\n\
both archive versions. The window gathers files into a list and replaces or\n\
adds them in one go; zarnex-cli runs the same work from scripts.")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(ZARNEX_GUI)
    # No binary links it, but Qt needs its plugin to draw the SVG window icon.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt6svg6)
    # The boxes' buttons and the file dialogs in Russian.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
endif()
include(CPack)

if(BUILD_TESTING)
    add_test(NAME install_and_package
             COMMAND "${CMAKE_COMMAND}" -DBUILD_DIR=${PROJECT_BINARY_DIR}
                     -DSTAGE=${PROJECT_BINARY_DIR}/install-check -DGUI=${ZARNEX_GUI}
                     -P "${PROJECT_SOURCE_DIR}/packaging/check-install.cmake")
    set_tests_properties(install_and_package PROPERTIES TIMEOUT 600)
endif()
