# Cross-compilation to 64-bit Windows with the MinGW-w64 toolchain
# (Debian package g++-mingw-w64-x86-64-posix), its POSIX thread model: GoogleTest,
# built with the same toolchain for the Windows tests, needs std::mutex, which
# GCC 12's win32 thread model lacks. Everything is linked statically, so the
# DLL and the programs need no winpthread DLL.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(SH2_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${SH2_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SH2_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${SH2_MINGW_PREFIX}-windres)
# The largest handler files give objects of more than the 32,767 sections a
# plain COFF object may hold (each handler has its code and its unwind data
# in sections of their own): the big-object format.
set(CMAKE_C_FLAGS_INIT "-Wa,-mbig-obj")
set(CMAKE_CXX_FLAGS_INIT "-Wa,-mbig-obj")

set(CMAKE_FIND_ROOT_PATH /usr/${SH2_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
