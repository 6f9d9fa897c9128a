# Cross-compiles for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64-posix; the posix
# flavour, whose libstdc++ has std::thread and std::filesystem in full).
#   cmake -S tests/fileapi_portable -B build-win -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# When Wine is installed, ctest runs the Windows test programs through it.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TEV_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TEV_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TEV_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TEV_MINGW_TRIPLET}-windres)

# Libraries and headers come from the MinGW sysroot only, programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TEV_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Debian installs the 64-bit loader as /usr/lib/wine/wine64 and puts only the `wine` wrapper on
# the PATH, which picks it when no 32-bit Wine is there.
find_program(TEV_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(TEV_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TEV_WINE})
endif()
