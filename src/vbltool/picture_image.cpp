#include "picture_image.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "picture_stb.h"
#include "preview/dib_header.h"
#include "preview/pcx_decoder.h"
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

// stb_image reads the file from memory through these, so that a decoder that
// asks for bytes past the end (a truncated file, which stb_image would
// otherwise fill with zeros) is noticed.
struct MemoryInput {
    const std::vector<unsigned char>* pData;
    size_t uPos;
    bool bOverrun;
};

int ReadMemory(void* pUser, char* pDest, int nSize)
{
    auto* pIn = static_cast<MemoryInput*>(pUser);
    const size_t uLeft = pIn->pData->size() - pIn->uPos;
    if (uLeft == 0) pIn->bOverrun = true;
    const size_t n = nSize < 0 ? 0 : (static_cast<size_t>(nSize) < uLeft ? static_cast<size_t>(nSize) : uLeft);
    if (n) memcpy(pDest, pIn->pData->data() + pIn->uPos, n);
    pIn->uPos += n;
    return static_cast<int>(n);
}

void SkipMemory(void* pUser, int nCount)
{
    auto* pIn = static_cast<MemoryInput*>(pUser);
    const size_t uLeft = pIn->pData->size() - pIn->uPos;
    if (nCount < 0) {
        const size_t uBack = static_cast<size_t>(-static_cast<int64_t>(nCount));
        pIn->uPos = uBack < pIn->uPos ? pIn->uPos - uBack : 0;
        return;
    }
    if (static_cast<size_t>(nCount) > uLeft) pIn->bOverrun = true;
    pIn->uPos += static_cast<size_t>(nCount) < uLeft ? static_cast<size_t>(nCount) : uLeft;
}

int AtEndOfMemory(void* pUser)
{
    const auto* pIn = static_cast<const MemoryInput*>(pUser);
    return pIn->uPos >= pIn->pData->size();
}

const stbi_io_callbacks kMemoryCallbacks = {ReadMemory, SkipMemory, AtEndOfMemory};

std::string TooManyPixels(int64_t llWidth, int64_t llHeight)
{
    char sz[160];
    snprintf(sz, sizeof(sz), "the picture is %lld x %lld pixels, more than the launcher's limit of %lld pixels",
             static_cast<long long>(llWidth), static_cast<long long>(llHeight), static_cast<long long>(kPcxMaxPixels));
    return sz;
}

// A PCX header: manufacturer 10, a known version, run-length encoding. (A TGA
// file could start the same way only with an unusual 10-byte identifier.)
bool LooksLikePcx(const std::vector<unsigned char>& data)
{
    return data.size() >= 12 && data[0] == 10 && data[1] <= 5 && data[2] == 1;
}

bool LoadPcx(const char* pszPath, const std::vector<unsigned char>& data, RgbImage* pImage, std::string* pstrReason)
{
    auto Field = [&data](int i) { return static_cast<int16_t>(data[i] | (data[i + 1] << 8)); };
    const int64_t llWidth = int64_t{Field(8)} - Field(4) + 1;
    const int64_t llHeight = int64_t{Field(10)} - Field(6) + 1;
    if (llWidth > 0 && llHeight > 0 && llWidth * llHeight > kPcxMaxPixels) {
        *pstrReason = TooManyPixels(llWidth, llHeight);
        return false;
    }
    HFILE hFile = _lopen(pszPath, OF_READ);
    if (hFile == HFILE_ERROR) {
        *pstrReason = "cannot open the file";
        return false;
    }
    PictureRefusal eRefusal = kPictureMade;
    HGLOBAL hDib = ReadPcxFileWithReason(hFile, 0, static_cast<LONG>(data.size()), &eRefusal);  // closes hFile
    if (!hDib) {
        *pstrReason = PictureRefusalText(eRefusal);
        return false;
    }
    const DecodedPicture pic = InspectDecoded(hDib);
    const bool bOk = !pic.pszRefusal && DibToRgb(hDib, pImage);
    GlobalFree(hDib);
    if (!bOk)
        *pstrReason = std::string("the launcher cannot make a bitmap of it: ") + (pic.pszRefusal ? pic.pszRefusal : "");
    return bOk;
}

// Pixels with alpha (4 bytes each) laid over black, packed to 3 bytes each.
void OverBlack(const unsigned char* pRgba, size_t uPixels, unsigned char* pRgb)
{
    for (size_t i = 0; i < uPixels; ++i) {
        const unsigned a = pRgba[4 * i + 3];
        for (int c = 0; c < 3; ++c) pRgb[3 * i + c] = static_cast<unsigned char>((pRgba[4 * i + c] * a + 127) / 255);
    }
}

bool LoadWithStb(const std::vector<unsigned char>& data, RgbImage* pImage, std::string* pstrReason)
{
    MemoryInput in = {&data, 0, false};
    int nWidth = 0, nHeight = 0, nChannels = 0;
    if (!stbi_info_from_callbacks(&kMemoryCallbacks, &in, &nWidth, &nHeight, &nChannels)) {
        *pstrReason = std::string("not a PNG, BMP, JPEG, TGA, GIF or PCX picture (") + stbi_failure_reason() + ")";
        return false;
    }
    if (int64_t{nWidth} * nHeight > kPcxMaxPixels) {
        *pstrReason = TooManyPixels(nWidth, nHeight);
        return false;
    }
    const bool bAlpha = nChannels == 2 || nChannels == 4;
    in = {&data, 0, false};
    std::unique_ptr<unsigned char, void (*)(void*)> pPixels(
        stbi_load_from_callbacks(&kMemoryCallbacks, &in, &nWidth, &nHeight, &nChannels, bAlpha ? 4 : 3),
        stbi_image_free);
    if (!pPixels || in.bOverrun) {
        // stb_image says "outofdata" where a PNG's compressed data is cut off.
        const bool bCut = in.bOverrun || (!pPixels && strcmp(stbi_failure_reason(), "outofdata") == 0);
        *pstrReason = bCut ? "the file ends before the picture does"
                           : std::string("cannot decode the picture (") + stbi_failure_reason() + ")";
        return false;
    }
    const size_t uPixels = static_cast<size_t>(nWidth) * static_cast<size_t>(nHeight);
    pImage->nWidth = nWidth;
    pImage->nHeight = nHeight;
    pImage->rgb.resize(3 * uPixels);
    if (bAlpha) {
        OverBlack(pPixels.get(), uPixels, pImage->rgb.data());
    } else {
        memcpy(pImage->rgb.data(), pPixels.get(), 3 * uPixels);
    }
    return true;
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

bool LoadPicture(const char* pszPath, RgbImage* pImage, std::string* pstrReason)
{
    std::vector<unsigned char> data;
    if (!ReadWholeFile(pszPath, &data)) {
        *pstrReason = "cannot read the file";
        return false;
    }
    if (data.size() > static_cast<size_t>(INT32_MAX)) {
        *pstrReason = "the file is larger than 2 GiB";
        return false;
    }
    if (LooksLikePcx(data)) return LoadPcx(pszPath, data, pImage, pstrReason);
    return LoadWithStb(data, pImage, pstrReason);
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
