# Cross build for Windows x64 with Debian's MinGW-w64 compiler, the POSIX-thread flavour so that
# std::thread works. The Windows Qt and expat, when given as TERVALO_QT_WINDOWS_DIR and
# TERVALO_EXPAT_WINDOWS_DIR, are searched as well.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
if(TERVALO_QT_WINDOWS_DIR)
    list(PREPEND CMAKE_FIND_ROOT_PATH "${TERVALO_QT_WINDOWS_DIR}")
    list(APPEND CMAKE_PREFIX_PATH "${TERVALO_QT_WINDOWS_DIR}")
endif()
if(TERVALO_EXPAT_WINDOWS_DIR)
    list(PREPEND CMAKE_FIND_ROOT_PATH "${TERVALO_EXPAT_WINDOWS_DIR}")
    list(APPEND CMAKE_PREFIX_PATH "${TERVALO_EXPAT_WINDOWS_DIR}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test programs run under Wine, in a prefix of the build's own, without Wine's chatter.
find_program(TERVALO_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(TERVALO_WINE NAMES wine64 wine)
if(TERVALO_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        env "WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix" WINEDEBUG=-all "${TERVALO_WINE}")
endif()
