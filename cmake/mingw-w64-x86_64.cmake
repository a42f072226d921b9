# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the posix thread model), tests run
# through Wine.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-compilers.cmake)
# One .exe that runs on a bare Windows: the C and C++ run-times and winpthread linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Tests run through Wine in a prefix of the build's own, quietly; WINEPREFIX given when building
# wins.
find_program(ZARNEX_WINE NAMES wine wine64 PATHS /usr/lib/wine)
if(ZARNEX_WINE)
    if(DEFINED ENV{WINEPREFIX})
        set(ZARNEX_WINE_PREFIX "$ENV{WINEPREFIX}")
    else()
        set(ZARNEX_WINE_PREFIX "${CMAKE_BINARY_DIR}/wine-prefix")
    endif()
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env WINEDEBUG=-all
                                      WINEPREFIX=${ZARNEX_WINE_PREFIX} ${ZARNEX_WINE})
endif()
