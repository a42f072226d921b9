# The Windows zip: zarnex-cli.exe with README, LICENSE and the manual as text, all in one folder.
find_program(ZARNEX_GROFF groff REQUIRED)
# The manual page set as plain UTF-8 text, without the terminal's bold and underlining.
add_custom_command(
    OUTPUT "${PROJECT_BINARY_DIR}/zarnex-cli.txt"
    COMMAND "${ZARNEX_GROFF}" -man -Tutf8 -P-cbou "${PROJECT_SOURCE_DIR}/man/zarnex-cli.1"
            > "${PROJECT_BINARY_DIR}/zarnex-cli.txt"
    DEPENDS "${PROJECT_SOURCE_DIR}/man/zarnex-cli.1"
    COMMENT "Setting the manual as text")
add_custom_target(manual_text ALL DEPENDS "${PROJECT_BINARY_DIR}/zarnex-cli.txt")

install(TARGETS zarnex-cli RUNTIME DESTINATION .)
install(FILES "${PROJECT_SOURCE_DIR}/README.md" "${PROJECT_SOURCE_DIR}/LICENSE"
              "${PROJECT_BINARY_DIR}/zarnex-cli.txt" DESTINATION .)

set(CPACK_PACKAGE_NAME zarnex-cli)
set(CPACK_PACKAGE_VENDOR "The Zarnex authors")
set(CPACK_SYSTEM_NAME win64)
set(CPACK_GENERATOR ZIP)
set(CPACK_STRIP_FILES ON)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
