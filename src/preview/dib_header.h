// Reading a packed DIB's header: how many colour-table entries follow it and
// where its pixel rows begin. Both header forms are understood: the 12-byte
// core header (RGBTRIPLE entries) and any other size read as a
// BITMAPINFOHEADER (RGBQUAD entries). The compression field is not looked at.
#pragma once

#include "vbl_platform.h"

// Colour-table entries that follow the header: biClrUsed when it is not 0
// (taken as it stands, even above 256), otherwise 2, 16 or 256 for 1, 4 or 8
// bits per pixel and 0 for every other bit count.
int DIBitmapColors(const BITMAPINFO* lpbi);

// Address of the first pixel byte: right after the header and its colour
// table, inside the same block as lpbi. Null when header and table would
// span 2 GiB or more (a colour count no usable block holds).
const BYTE* DIBitmapBits(const BITMAPINFO* lpbi);

// True when a block of cbBlock bytes starting at lpbi holds everything that
// turning it into a bitmap reads: the header, the colour table that
// DIBitmapColors counts, and every pixel row that the width, height and bit
// count describe (the rows are read whatever biSizeImage says). False for
// anything that cannot be proved to lie inside the block, including header
// forms and layouts that the conversion does not read through DIBitmapBits
// (compressed or bit-field pixels, bit counts a DIB cannot have).
bool DIBitmapFitsBlock(const BITMAPINFO* lpbi, SIZE_T cbBlock);

// Why DIBitmapFitsBlock is false; kDibFits when it is true.
enum DibRefusal {
    kDibFits = 0,
    kDibBelowSizeField,
    kDibBelowCoreHeader,
    kDibHeaderSize,
    kDibCompressed,
    kDibNoPixels,
    kDibBitCount,
    kDibPastBlock,
    kDibRefusalCount
};
DibRefusal DIBitmapRefusal(const BITMAPINFO* lpbi, SIZE_T cbBlock);

// A short English phrase for the tools, lasting as long as the program; null
// for kDibFits.
const char* DibRefusalText(DibRefusal eRefusal);
