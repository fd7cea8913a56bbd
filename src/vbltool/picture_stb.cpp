// The code of the stb headers configured in picture_stb.h. Built with the
// build's warnings as system headers (their own warnings are not ours to fix).
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION

#include "picture_stb.h"
