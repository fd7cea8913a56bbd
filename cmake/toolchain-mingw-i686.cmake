# The shipped product: 32-bit x86 Windows, MinGW-w64 with POSIX threads,
# linked statically so that it runs on a bare Windows with no extra DLL.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VBL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
