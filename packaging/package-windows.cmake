# The Windows zip: zarnex.exe and zarnex-cli.exe with a README for Windows users, the license and
# both manuals, every text file with CR LF line ends, in one folder.
find_program(ZARNEX_GROFF groff REQUIRED)
set(text_dir "${PROJECT_BINARY_DIR}/windows")
set(convert "${PROJECT_SOURCE_DIR}/packaging/windows/windows-text.cmake")
set(texts)
# windows_text(FROM NAME BOM): FROM as NAME in the zip.
macro(windows_text from name bom)
    add_custom_command(
        OUTPUT "${text_dir}/${name}"
        COMMAND "${CMAKE_COMMAND}" -DIN=${from} -DOUT=${text_dir}/${name} -DBOM=${bom}
                -P "${convert}"
        DEPENDS "${from}" "${convert}")
    list(APPEND texts "${text_dir}/${name}")
endmacro()

configure_file("${PROJECT_SOURCE_DIR}/packaging/windows/README.txt.in" "${text_dir}/README.utf8"
               @ONLY)
windows_text("${text_dir}/README.utf8" README.txt OFF)
windows_text("${PROJECT_SOURCE_DIR}/LICENSE" LICENSE.txt OFF)

# The manual pages set as plain UTF-8 text, without the terminal's bold and underlining; -k reads
# the pages as UTF-8, whose Russian examples are otherwise garbled.
set(pages zarnex-cli)
if(ZARNEX_GUI)
    list(APPEND pages zarnex)
endif()
foreach(page IN LISTS pages)
    add_custom_command(
        OUTPUT "${text_dir}/${page}.utf8"
        COMMAND "${ZARNEX_GROFF}" -k -man -Tutf8 -P-cbou "${PROJECT_SOURCE_DIR}/man/${page}.1"
                > "${text_dir}/${page}.utf8"
        DEPENDS "${PROJECT_SOURCE_DIR}/man/${page}.1"
        COMMENT "Setting the manual ${page} as text")
    windows_text("${text_dir}/${page}.utf8" ${page}.txt ON)
endforeach()
add_custom_target(windows_texts ALL DEPENDS ${texts})

install(TARGETS zarnex-cli RUNTIME DESTINATION .)
if(ZARNEX_GUI)
    install(TARGETS zarnex RUNTIME DESTINATION .)
endif()
install(FILES ${texts} DESTINATION .)

set(CPACK_PACKAGE_NAME zarnex)
set(CPACK_PACKAGE_VENDOR "The Zarnex authors")
set(CPACK_SYSTEM_NAME win64)
set(CPACK_GENERATOR ZIP)
set(CPACK_STRIP_FILES ON)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
