# Cross-compilation to 32-bit Windows with the MinGW-w64 toolchain
# (Debian package g++-mingw-w64-i686-posix), its POSIX thread model: GoogleTest,
# built with the same toolchain for the Windows tests, needs std::mutex, which
# GCC 12's win32 thread model lacks. Everything is linked statically, so the
# DLL and the programs need no winpthread DLL.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(SH2_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${SH2_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SH2_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${SH2_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SH2_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
