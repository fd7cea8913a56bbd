// Whether a decode of a picture's top-left corner shows exactly the whole
// picture's pixels: shared by the corner test and the picture fuzz target.
#pragma once

#include <cstddef>
#include <cstring>

#include "vbl_platform.h"

// A packed DIB as the decoder makes it, by its parts: the 40-byte header,
// biClrUsed colours, and the rows bottom-up, each padded to 4 bytes.
struct DibParts {
    const BITMAPINFOHEADER* pHeader;
    const void* pColours;
    const BYTE* pPixels;
};

// Null when corner is the top-left lClipWidth x lClipHeight of whole (or all
// of it, where whole is smaller): same bit count and colours, and every bit
// of every pixel inside the corner the same. Otherwise what differs.
inline const char* CornerMismatch(const DibParts& whole, const DibParts& corner, LONG lClipWidth, LONG lClipHeight)
{
    const BITMAPINFOHEADER& w = *whole.pHeader;
    const BITMAPINFOHEADER& c = *corner.pHeader;
    if (c.biWidth != (w.biWidth < lClipWidth ? w.biWidth : lClipWidth) ||
        c.biHeight != (w.biHeight < lClipHeight ? w.biHeight : lClipHeight))
        return "the corner's size";
    if (c.biBitCount != w.biBitCount || c.biClrUsed != w.biClrUsed ||
        (w.biClrUsed != 0 && memcmp(corner.pColours, whole.pColours, 4 * size_t{w.biClrUsed}) != 0))
        return "the corner's bit count or colours";
    const size_t cBits = size_t{c.biBitCount} * static_cast<size_t>(c.biWidth);
    const size_t cbWhole = (static_cast<size_t>(w.biWidth) * w.biBitCount + 31) / 32 * 4;
    const size_t cbCorner = (cBits + 31) / 32 * 4;
    const BYTE bLastMask = static_cast<BYTE>(0xFF00 >> (cBits % 8));
    for (LONG r = 0; r < c.biHeight; ++r) {  // r counts from the top
        const BYTE* pW = whole.pPixels + static_cast<size_t>(w.biHeight - 1 - r) * cbWhole;
        const BYTE* pC = corner.pPixels + static_cast<size_t>(c.biHeight - 1 - r) * cbCorner;
        if (memcmp(pW, pC, cBits / 8) != 0 || (cBits % 8 && (pW[cBits / 8] ^ pC[cBits / 8]) & bLastMask))
            return "the corner's pixels";
    }
    return nullptr;
}
