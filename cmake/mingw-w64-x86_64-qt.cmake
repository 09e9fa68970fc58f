# Cross build for 64-bit Windows of the window and of Qt itself (scripts/qt-windows):
# the toolchain of the Qt-free build, but linked against the MinGW runtime DLLs, which
# go beside the programs, so Qt's DLLs and the program share one C++ runtime; and the
# host's Qt tools (moc, uic, rcc, lrelease) are found outside the MinGW root.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)
set(CMAKE_EXE_LINKER_FLAGS_INIT "")
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
