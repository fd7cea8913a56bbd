#include "picture_image.h"

#include <cstdint>
#include <cstring>

#include "picture_stb.h"
#include "preview/dib_header.h"
#include "tool_files.h"

namespace {

// One pixel of a DIB row: through the colour table for 1, 4 and 8 bits
// (an index past the table is black), 5-5-5 for 16 bits, blue-green-red for
// 24 and 32 bits.
void DibPixel(const BYTE* pRow, int x, WORD wBits, const RGBQUAD* pTable, int nColours, unsigned char* pRgb)
{
    if (wBits <= 8) {
        const int nPerByte = 8 / wBits;
        const int nShift = 8 - wBits * (x % nPerByte + 1);
        const int nIndex = (pRow[x / nPerByte] >> nShift) & ((1 << wBits) - 1);
        const RGBQUAD q = nIndex < nColours ? pTable[nIndex] : RGBQUAD{0, 0, 0, 0};
        pRgb[0] = q.rgbRed;
        pRgb[1] = q.rgbGreen;
        pRgb[2] = q.rgbBlue;
    } else if (wBits == 16) {
        const unsigned v = pRow[2 * x] | (pRow[2 * x + 1] << 8);
        for (int c = 0; c < 3; ++c) {
            const unsigned n = (v >> (10 - 5 * c)) & 31;
            pRgb[c] = static_cast<unsigned char>((n << 3) | (n >> 2));
        }
    } else {
        const BYTE* p = pRow + static_cast<size_t>(x) * (wBits / 8);
        pRgb[0] = p[2];
        pRgb[1] = p[1];
        pRgb[2] = p[0];
    }
}

void AppendToVector(void* pContext, void* pData, int nSize)
{
    const auto* p = static_cast<const unsigned char*>(pData);
    static_cast<std::vector<unsigned char>*>(pContext)->insert(
        static_cast<std::vector<unsigned char>*>(pContext)->end(), p, p + nSize);
}

}  // namespace

bool DibToRgb(HGLOBAL hDib, RgbImage* pImage)
{
    const auto* lpbi = static_cast<const BITMAPINFO*>(GlobalLock(hDib));
    if (!lpbi) return false;
    const BITMAPINFOHEADER& bih = lpbi->bmiHeader;
    const BYTE* pBits = DIBitmapBits(lpbi);
    const bool bOk = bih.biSize == sizeof(BITMAPINFOHEADER) && pBits && bih.biWidth > 0 && bih.biHeight != 0;
    if (bOk) {
        const int nHeight = bih.biHeight < 0 ? -bih.biHeight : bih.biHeight;
        const size_t uStride = (static_cast<size_t>(bih.biWidth) * bih.biBitCount + 31) / 32 * 4;
        pImage->nWidth = bih.biWidth;
        pImage->nHeight = nHeight;
        pImage->rgb.resize(3 * static_cast<size_t>(bih.biWidth) * static_cast<size_t>(nHeight));
        unsigned char* pOut = pImage->rgb.data();
        for (int y = 0; y < nHeight; ++y) {
            const BYTE* pRow = pBits + uStride * static_cast<size_t>(bih.biHeight > 0 ? nHeight - 1 - y : y);
            for (int x = 0; x < bih.biWidth; ++x, pOut += 3) {
                DibPixel(pRow, x, bih.biBitCount, lpbi->bmiColors, DIBitmapColors(lpbi), pOut);
            }
        }
    }
    GlobalUnlock(hDib);
    return bOk;
}

void FitSize(int nWidth, int nHeight, int nMaxWidth, int nMaxHeight, int* pnWidth, int* pnHeight)
{
    *pnWidth = nWidth;
    *pnHeight = nHeight;
    if (nWidth <= nMaxWidth && nHeight <= nMaxHeight) return;
    // Width is the limit when nMaxWidth / nWidth <= nMaxHeight / nHeight; the
    // other side is rounded to the nearest pixel, halves up, never below 1.
    if (int64_t{nMaxWidth} * nHeight <= int64_t{nMaxHeight} * nWidth) {
        *pnWidth = nMaxWidth;
        *pnHeight = static_cast<int>((2 * int64_t{nHeight} * nMaxWidth + nWidth) / (2 * int64_t{nWidth}));
    } else {
        *pnHeight = nMaxHeight;
        *pnWidth = static_cast<int>((2 * int64_t{nWidth} * nMaxHeight + nHeight) / (2 * int64_t{nHeight}));
    }
    if (*pnWidth < 1) *pnWidth = 1;
    if (*pnHeight < 1) *pnHeight = 1;
}

bool ScaleLinearLight(const RgbImage& in, int nWidth, int nHeight, RgbImage* pOut)
{
    pOut->nWidth = nWidth;
    pOut->nHeight = nHeight;
    pOut->rgb.resize(3 * static_cast<size_t>(nWidth) * static_cast<size_t>(nHeight));
    return stbir_resize_uint8_srgb(in.rgb.data(), in.nWidth, in.nHeight, 0, pOut->rgb.data(), nWidth, nHeight, 0, 3,
                                   STBIR_ALPHA_CHANNEL_NONE, 0) != 0;
}

void CropTopLeft(const RgbImage& in, int nWidth, int nHeight, RgbImage* pOut)
{
    const size_t uRow = 3 * static_cast<size_t>(nWidth);
    pOut->nWidth = nWidth;
    pOut->nHeight = nHeight;
    pOut->rgb.resize(uRow * static_cast<size_t>(nHeight));
    for (int y = 0; y < nHeight; ++y) {
        memcpy(pOut->rgb.data() + uRow * y, in.rgb.data() + 3 * static_cast<size_t>(in.nWidth) * y, uRow);
    }
}

bool WritePngFile(HGLOBAL hDib, const char* pszPath, const char** ppszReason)
{
    RgbImage image = {0, 0, {}};
    std::vector<unsigned char> png;
    if (!DibToRgb(hDib, &image) ||
        !stbi_write_png_to_func(AppendToVector, &png, image.nWidth, image.nHeight, 3, image.rgb.data(), 0)) {
        *ppszReason = "cannot make a PNG of the image";
        return false;
    }
    return WriteWholeFile(pszPath, png, ppszReason);
}

bool HasPngExtension(const char* pszPath)
{
    const size_t n = strlen(pszPath);
    if (n < 4) return false;
    const char* p = pszPath + n - 4;
    return p[0] == '.' && (p[1] | 0x20) == 'p' && (p[2] | 0x20) == 'n' && (p[3] | 0x20) == 'g';
}
