#include "bmp_file.h"

#include <cstring>

#include "file_replace.h"
#include "preview/dib_header.h"

namespace {

// Size of the packed DIB from its own header, checked against the block so
// that a bad header can never make us write bytes the block does not have.
bool PackedDibBytes(const BYTE* pBlock, SIZE_T cbBlock, DWORD* pcbDib, DWORD* pcbBeforeBits)
{
    if (cbBlock < sizeof(BITMAPINFOHEADER)) return false;
    BITMAPINFOHEADER bih;
    memcpy(&bih, pBlock, sizeof(bih));
    uint64_t cbBefore = uint64_t{bih.biSize} + uint64_t{bih.biClrUsed} * sizeof(RGBQUAD);
    uint64_t cbAll = cbBefore + bih.biSizeImage;
    if (bih.biSize != sizeof(BITMAPINFOHEADER) || cbAll > cbBlock || cbAll > UINT32_MAX - sizeof(BITMAPFILEHEADER)) {
        return false;
    }
    *pcbDib = static_cast<DWORD>(cbAll);
    *pcbBeforeBits = static_cast<DWORD>(cbBefore);
    return true;
}

}  // namespace

void PutLe16(unsigned char* p, unsigned v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void PutLe32(unsigned char* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

bool WriteBmpFile(HGLOBAL hDib, const char* pszPath, const char** ppszReason)
{
    const BYTE* pBlock = static_cast<const BYTE*>(GlobalLock(hDib));
    if (!pBlock) {
        *ppszReason = "cannot lock the image";
        return false;
    }
    DWORD cbDib = 0;
    DWORD cbBeforeBits = 0;
    bool bOk = PackedDibBytes(pBlock, GlobalSize(hDib), &cbDib, &cbBeforeBits);
    if (!bOk) *ppszReason = "image block is inconsistent";
    if (bOk) {
        unsigned char abHead[sizeof(BITMAPFILEHEADER)];
        PutLe16(abHead, 0x4D42);  // "BM"
        PutLe32(abHead + 2, cbDib + sizeof(BITMAPFILEHEADER));
        PutLe32(abHead + 6, 0);
        PutLe32(abHead + 10, cbBeforeBits + sizeof(BITMAPFILEHEADER));
        const WritePiece aPieces[] = {{abHead, sizeof(abHead)}, {pBlock, cbDib}};
        bOk = WritePiecesWhole(pszPath, aPieces, 2, ppszReason);
    }
    GlobalUnlock(hDib);
    return bOk;
}

DecodedPicture InspectDecoded(HGLOBAL hDib)
{
    DecodedPicture pic = {0, 0, 0, "cannot lock the image"};
    const auto* lpbi = static_cast<const BITMAPINFO*>(GlobalLock(hDib));
    if (!lpbi) return pic;
    // The launcher's own test before it makes a bitmap (DibToBitmap).
    pic.pszRefusal = DibRefusalText(DIBitmapRefusal(lpbi, GlobalSize(hDib)));
    if (GlobalSize(hDib) >= sizeof(BITMAPINFOHEADER)) {
        pic.lWidth = lpbi->bmiHeader.biWidth;
        pic.lHeight = lpbi->bmiHeader.biHeight;
        pic.wBitCount = lpbi->bmiHeader.biBitCount;
    }
    GlobalUnlock(hDib);
    return pic;
}

DecodedPicture InspectPlanned(const PcxPlannedDib& planned)
{
    return {planned.lWidth, planned.lHeight, planned.wBitCount, DibRefusalText(kDibBitCount)};
}
