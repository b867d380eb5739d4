# Cross-compiling for 64-bit Windows with MinGW-w64 (posix threads), e.g. from Debian:
#   cmake -S . -B build/mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DZEZ_CORE_ONLY=ON
# and with a Qt built for it (scripts/build-qt-windows), everything:
#   cmake -S . -B build/mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DZEZ_QT_PREFIX=DIR
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${ZEZ_QT_PREFIX})
if(ZEZ_QT_PREFIX)
  # Qt's tools (moc, rcc, uic) are the host's own, of the same version.
  set(CMAKE_PREFIX_PATH ${ZEZ_QT_PREFIX})
  set(QT_HOST_PATH /usr)
  set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Programs the build runs (the examples generator) run under Wine.
find_program(ZEZ_WINE NAMES wine64 wine)
if(ZEZ_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZEZ_WINE})
endif()
# The core alone links the C++ runtime in, so that its programs run without MinGW's DLLs beside
# them; with Qt, whose libraries use the runtime's DLLs, the programs share those (installed
# beside them).
if(ZEZ_CORE_ONLY)
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
endif()
