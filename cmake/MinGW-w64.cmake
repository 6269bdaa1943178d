# Cross-compiling the core for 64-bit Windows with Debian's MinGW-w64 (POSIX threads model,
# packages g++-mingw-w64-x86-64-posix and mingw-w64-x86-64-dev); the programs run under Wine.
#
#   cmake -S . -B build-windows -G Ninja --toolchain cmake/MinGW-w64.cmake
#
# scripts/windows.sh configures, builds and runs the tests this way.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARVEX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARVEX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARVEX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TARVEX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARVEX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's own run-time libraries (libstdc++, libgcc, winpthread) are linked into each
# program and DLL, so nothing but the system's DLLs needs to be found beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Programs built here run under Wine: ctest and gtest_discover_tests go through it.
set(TARVEX_WINE "/usr/lib/wine/wine64" CACHE FILEPATH "Wine's loader for 64-bit programs")
set(CMAKE_CROSSCOMPILING_EMULATOR ${TARVEX_WINE})
