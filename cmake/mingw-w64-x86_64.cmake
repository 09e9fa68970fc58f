# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64):
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Only the parts without Qt are built; the executables are linked statically, so
# they run on a bare Windows (or under Wine) with no DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The posix flavour: its libstdc++ has std::thread, std::mutex and friends
# (the win32 flavour of GCC 12 lacks them).
set(QN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread go into every executable.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs the test programs through Wine when one is there.
find_program(QN_WINE NAMES wine)
if(QN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QN_WINE})
endif()
