// The parts of stb (Debian's libstb-dev, header-only) that vbltool builds in,
// configured once for every file that includes them: picture_stb.cpp holds
// their code. Every format vbltool does not read is left out, and nothing in
// them opens files: vbltool reads and writes its files itself, whole or not
// at all. No SIMD and no thread-locals: the 32- and 64-bit programs must make
// the same bytes from the same picture, and import nothing Windows XP lacks.
#pragma once

#define STBI_NO_STDIO
#define STBI_NO_SIMD
#define STBI_NO_THREAD_LOCALS
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_PSD
#define STBI_NO_PIC
#define STBI_NO_PNM
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_ONLY_JPEG
#define STBI_ONLY_TGA
#define STBI_ONLY_GIF
#define STBI_WRITE_NO_STDIO

#include <stb_image.h>
#include <stb_image_resize.h>
#include <stb_image_write.h>
