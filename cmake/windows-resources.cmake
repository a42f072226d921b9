# Icon, version information and manifest of a Windows program, from one template for both.
enable_language(RC)
find_program(ZARNEX_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(ZARNEX_ICOTOOL icotool REQUIRED)

# The icon drawn from the desktop's SVG at the sizes Explorer and the taskbar ask for; the largest
# stays PNG inside the .ico, as Windows takes it.
set(ZARNEX_ICON "${PROJECT_BINARY_DIR}/windows/zarnex.ico")
set(icon_commands)
set(icon_pngs)
foreach(size 16 20 24 32 40 48 64 256)
    set(png "${PROJECT_BINARY_DIR}/windows/icon-${size}.png")
    list(APPEND icon_commands COMMAND "${ZARNEX_RSVG_CONVERT}" -w ${size} -h ${size}
         "${PROJECT_SOURCE_DIR}/data/org.zarnex.Zarnex.svg" -o "${png}")
    if(size EQUAL 256)
        list(APPEND icon_pngs -r "${png}")
    else()
        list(APPEND icon_pngs "${png}")
    endif()
endforeach()
add_custom_command(
    OUTPUT "${ZARNEX_ICON}"
    ${icon_commands}
    COMMAND "${ZARNEX_ICOTOOL}" -c -o "${ZARNEX_ICON}" ${icon_pngs}
    DEPENDS "${PROJECT_SOURCE_DIR}/data/org.zarnex.Zarnex.svg"
    COMMENT "Drawing the Windows icon")
add_custom_target(zarnex_icon DEPENDS "${ZARNEX_ICON}")

file(STRINGS "${PROJECT_SOURCE_DIR}/LICENSE" ZARNEX_COPYRIGHT_LINE REGEX "^Copyright" LIMIT_COUNT 1)

# zarnex_windows_resources(TARGET DESCRIPTION UTF8_CODE_PAGE): UTF8_CODE_PAGE ON makes UTF-8 the
# program's ANSI code page (Windows 10 1903 on). Only for a program whose every text is UTF-8 or
# UTF-16: one that reads the user's ANSI files needs the user's own code page.
function(zarnex_windows_resources target description utf8_code_page)
    set(NAME "${target}")
    set(DESCRIPTION "${description}")
    set(COPYRIGHT "${ZARNEX_COPYRIGHT_LINE}")
    set(CODE_PAGE "")
    if(utf8_code_page)
        set(CODE_PAGE "\n      <activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8</activeCodePage>")
    endif()
    set(MANIFEST "${PROJECT_BINARY_DIR}/windows/${target}.manifest")
    set(ICON "${ZARNEX_ICON}")
    configure_file("${PROJECT_SOURCE_DIR}/packaging/windows/program.manifest.in" "${MANIFEST}" @ONLY)
    configure_file("${PROJECT_SOURCE_DIR}/packaging/windows/program.rc.in"
                   "${PROJECT_BINARY_DIR}/windows/${target}.rc" @ONLY)
    target_sources(${target} PRIVATE "${PROJECT_BINARY_DIR}/windows/${target}.rc")
    set_source_files_properties("${PROJECT_BINARY_DIR}/windows/${target}.rc" TARGET_DIRECTORY ${target}
                                PROPERTIES OBJECT_DEPENDS "${ZARNEX_ICON};${MANIFEST}")
    add_dependencies(${target} zarnex_icon)
endfunction()
