# The shipped product: 32-bit x86 Windows, MinGW-w64 with POSIX threads,
# linked statically so that it runs on a bare Windows with no extra DLL.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VBL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# No 32-bit code runs natively here: tests and tools run under 32-bit Wine in
# an emulated environment, set up on first use.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run32.sh)
