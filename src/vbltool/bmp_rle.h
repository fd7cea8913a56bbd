// Palette BMPs made plain for stb_image: run-length ones (BI_RLE8, BI_RLE4),
// which it does not read, decoded; and every palette BMP's colour table made
// whole, since stb_image takes an index past a short table from memory it
// never set. The result is an uncompressed BMP of the same pixels. The bytes
// are untrusted: every size is checked before anything is allocated, and
// pixels that the data places outside the picture are dropped.
#pragma once

#include <cstdint>
#include <vector>

// The BMP fields that say how the pixels are stored.
enum : uint32_t { kBmpRgb = 0, kBmpRle8 = 1, kBmpRle4 = 2, kBmpBitFields = 3, kBmpJpeg = 4, kBmpPng = 5 };
struct BmpLayout {
    uint32_t dwPixelsAt;    // bfOffBits: where the pixel data starts in the file
    uint32_t dwHeaderSize;  // 12 for OS/2 1.x, 16 or 64 for OS/2 2.x, 40 and up for Windows'
    int64_t llWidth;
    int64_t llHeight;  // negative: rows top-down
    unsigned uPlanes;
    unsigned uBits;
    uint32_t dwCompression;  // kBmp... (always kBmpRgb for a 12- or 16-byte header)
};

// False when data does not start with "BM" and a whole header.
bool ReadBmpLayout(const std::vector<unsigned char>& data, BmpLayout* pLayout);

// True for what RewritePaletteBmp takes: a header of a size stb_image reads
// (12, 40, 56, 108, 124 bytes), one plane, and either uncompressed 1, 4 or 8
// bits per pixel, or BI_RLE8 at 8 and BI_RLE4 at 4 bits, bottom-up.
bool IsPaletteBmp(const BmpLayout& layout);

// Rewrites an IsPaletteBmp file into *pOut: a 40-byte header, a colour table
// of all 2^bits entries (those past the file's table black), then the rows,
// uncompressed rows as the file has them. A run-length picture starts as
// colour 0 everywhere, which the data then paints. The caller has limited
// width x height; more than llMaxPixels is refused all the same. Null when
// done, else a one-line reason.
const char* RewritePaletteBmp(const std::vector<unsigned char>& data, const BmpLayout& layout, int64_t llMaxPixels,
                              std::vector<unsigned char>* pOut);
