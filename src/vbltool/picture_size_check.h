// What a picture's header makes stb_image allocate, checked against what the
// rest of the file could fill, before stb_image sees the file: a header of a
// few bytes must not make it ask for a block of hundreds of megabytes that
// it then refuses (or that only memory's running out stops).
#pragma once

#include <string>
#include <vector>

// The reason given for a picture whose data stops before the picture does.
extern const char kPictureFileEnds[];

// False, with *pstrReason, when data (a PNG, GIF, JPEG or TGA file whose
// header stbi_info read as nWidth x nHeight pixels) cannot hold the picture
// its header describes:
// - PNG: a chunk (length, type, data, CRC) reaching past the end of the data,
//   before the IEND chunk, is refused as kPictureFileEnds; and the IDAT
//   chunks together must hold the picture's rows (filter bytes included,
//   interlaced or not) at deflate's best ratio (1032 to 1). stb_image would
//   otherwise grow its buffer to a chunk's stated length, up to 2 GiB, and
//   size its inflate buffer by the picture.
// - GIF: the first image must be whole; a file ending before, or with no
//   image at all, is refused before stb_image allocates the screen (9 bytes
//   a pixel).
// - JPEG: from its first scan to the end, the file must give every 8 x 8
//   block of the frame at least one bit; stb_image allocates every
//   component's samples (and coefficients) from the frame header alone.
// - TGA: the pixel data must be there, at the densest run-length packing
//   (one packet of 128 pixels) when compressed.
// Other files (BMP) pass: their own checks are elsewhere.
bool PictureFitsFile(const std::vector<unsigned char>& data, int nWidth, int nHeight, std::string* pstrReason);
