# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the posix thread model), tests run
# through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
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
