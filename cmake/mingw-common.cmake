# Shared by both MinGW toolchains; VBL_MINGW_TRIPLE names the target.
set(CMAKE_C_COMPILER ${VBL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VBL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VBL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VBL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Everything static: no libgcc, libstdc++ or winpthread DLL beside the program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
# Tests and tools run through Wine; the wrapper sets up a private prefix and a
# virtual display when there is none.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
