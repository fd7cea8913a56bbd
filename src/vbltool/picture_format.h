// Why stb_image cannot read a file, told by what the file is: a format
// vbltool does not read, or one it reads but not in this variant.
#pragma once

#include <string>
#include <vector>

#include "bmp_rle.h"

// A one-line reason for a file that no decoder took: the format found by its
// first bytes and what to do about it, or, when nothing is recognised, that
// it is not a picture vbltool reads.
std::string UnreadablePictureReason(const std::vector<unsigned char>& data);

// Empty when LoadPicture reads a file starting with "BM" as far as its
// header tells, else why not, one line: the first of its fields, in their
// order, that vbltool does not read (every header size, planes, compression
// against depth, colour masks), or a colour table past the end of the file.
std::string BmpFault(const std::vector<unsigned char>& data);

// Where the header of a BMP that BmpFault passes ends, with the colour masks
// that follow a 40-byte one: stb_image takes pixels of more than 8 bits only
// from there.
size_t BmpHeaderEnd(const BmpLayout& layout);

// Null, or why a JPEG must not reach stb_image: a Huffman table of more than
// 256 codes, which stb_image 2.27 builds past the end of its table. Every
// table is checked, in the headers and between the scans.
const char* JpegHuffmanFault(const std::vector<unsigned char>& data);
