// The file-format core's view of the platform. On Windows it is the real API;
// the Linux build finds src/platform/posix/vbl_platform.h under this name.
#pragma once
#include <windows.h>
