// Why stb_image cannot read a file, told by what the file is: a format
// vbltool does not read, or one it reads but not in this variant.
#pragma once

#include <string>
#include <vector>

// A one-line reason for a file that no decoder took: the format found by its
// first bytes and what to do about it, or, when nothing is recognised, that
// it is not a picture vbltool reads.
std::string UnreadablePictureReason(const std::vector<unsigned char>& data);

// Null, or why a JPEG must not reach stb_image: a Huffman table of more than
// 256 codes, which stb_image 2.27 builds past the end of its table. Every
// table is checked, in the headers and between the scans.
const char* JpegHuffmanFault(const std::vector<unsigned char>& data);
