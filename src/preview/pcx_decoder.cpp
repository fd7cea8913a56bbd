// PCX entry -> packed DIB. The entry comes from a downloaded level archive, so
// every size below is computed in 64 bits and checked before anything is
// allocated or read, and no decoded byte is stored outside its row.
#include "preview/pcx_decoder.h"

#include <cstring>

#include "preview/byte_cursor.h"

const BYTE LowMasks[4] = {0x01, 0x02, 0x04, 0x08};
const BYTE HighMasks[4] = {0x10, 0x20, 0x40, 0x80};

// 16 colours, each stored blue, green, red.
const BYTE DefaultPalette[48] = {
    0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF,
    0x00, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0x55, 0x55, 0xFF, 0x55, 0x55, 0x55, 0x00, 0xAA,
    0x00, 0xAA, 0x00, 0x00, 0x55, 0xFF, 0xFF, 0xFF, 0x55, 0xFF, 0xFF, 0xFF, 0x55, 0xFF, 0xFF, 0xFF,
};

namespace {

constexpr UINT kHeaderBytes = 128;
constexpr UINT kTrailerBytes = 769;  // marker 12 + 256 RGB triples
constexpr BYTE kTrailerMarker = 12;
constexpr int64_t kPcxMaxRun = 0x3F;  // bytes one run item can stand for

struct PcxHeader {
    BYTE bManufacturer;
    BYTE bVersion;
    BYTE bBitsPerPixel;
    BYTE bPlanes;
    int16_t nXMin, nYMin, nXMax, nYMax;
    int16_t nBytesPerLine;
    BYTE abPalette[48];  // 16 triples red, green, blue
};

// Where a decoded scan-line byte goes in its DIB row.
enum PcxPlacement {
    kPlaceBytes,   // byte s of the scan line -> byte s of the row
    kPlacePlanes,  // 3 or 4 planes of bits merged into 4-bit pixels
    kPlaceRgb,     // 3 planes of 8 bits (red, green, blue) -> 24-bit pixels
};

struct PcxLayout {
    PcxPlacement placement;
    LONG lWidth;
    LONG lHeight;
    WORD wBitCount;
    DWORD dwStride;       // bytes per DIB row, a multiple of 4
    DWORD dwImageBytes;   // dwStride * lHeight
    int nBytesPerLine;    // of one plane; 0 when the header gives none
    int64_t llLineBytes;  // L: decoded bytes per scan line, all planes
    int64_t llTotal;      // N: decoded bytes of the whole image
    bool bHasTable;       // false for 24-bit pixels
};

// Position of the next decoded byte: scan line r from the top, byte s in it.
struct PcxCursor {
    int64_t llLine;
    int64_t llPos;
};

bool ReadPcxHeader(HFILE hFile, LONG lOffset, PcxHeader* pHdr, PictureRefusal* pRefusal)
{
    BYTE abRaw[kHeaderBytes];
    if (lOffset < 0 || lOffset > INT32_MAX - static_cast<LONG>(kHeaderBytes)) {
        *pRefusal = kRefuseOffsetOutside;
        return false;
    }
    _llseek(hFile, lOffset, FILE_BEGIN);
    if (_lread(hFile, abRaw, kHeaderBytes) != kHeaderBytes) {
        *pRefusal = kRefuseShortHeader;
        return false;
    }
    // Every field read below lies inside the 128 bytes just read.
    ByteCursor cur = MakeByteCursor(abRaw, sizeof(abRaw));
    pHdr->bManufacturer = CursorU8(&cur);
    pHdr->bVersion = CursorU8(&cur);
    CursorU8(&cur);  // encoding: the data is always run-length decoded
    pHdr->bBitsPerPixel = CursorU8(&cur);
    pHdr->nXMin = CursorI16(&cur);
    pHdr->nYMin = CursorI16(&cur);
    pHdr->nXMax = CursorI16(&cur);
    pHdr->nYMax = CursorI16(&cur);
    CursorSeek(&cur, 16);
    CursorBytes(&cur, pHdr->abPalette, sizeof(pHdr->abPalette));
    CursorSeek(&cur, 65);
    pHdr->bPlanes = CursorU8(&cur);
    pHdr->nBytesPerLine = CursorI16(&cur);
    return true;
}

// Checks the header's geometry and derives the DIB layout from it; the one
// place where a header is refused for what it holds.
bool PlanPcxLayout(const PcxHeader& hdr, PcxLayout* pLay, PictureRefusal* pRefusal)
{
    if (hdr.bManufacturer != 10) {
        *pRefusal = kRefuseNotPcx;
        return false;
    }
    int64_t llWidth = int64_t{hdr.nXMax} - hdr.nXMin + 1;
    int64_t llHeight = int64_t{hdr.nYMax} - hdr.nYMin + 1;
    if (llWidth < 1 || llHeight < 1) {
        *pRefusal = kRefuseEmptyWindow;
        return false;
    }
    if (llWidth * llHeight > kPcxMaxPixels) {
        *pRefusal = kRefuseTooManyPixels;
        return false;
    }
    int nBits = hdr.bPlanes * hdr.bBitsPerPixel;
    if (nBits == 0) {
        *pRefusal = kRefuseNoBits;
        return false;
    }
    pLay->placement = hdr.bPlanes == 3 || hdr.bPlanes == 4 ? kPlacePlanes : kPlaceBytes;
    pLay->bHasTable = true;
    if (hdr.bPlanes == 3 && hdr.bBitsPerPixel == 8) {
        pLay->placement = kPlaceRgb;
        pLay->bHasTable = false;
    } else if (nBits == 3) {
        nBits = 4;
    }
    int64_t llStride = (llWidth * nBits + 31) / 32 * 4;
    int64_t llImage = llStride * llHeight;
    if (llImage > kPcxMaxImageBytes) {
        *pRefusal = kRefuseTooLarge;
        return false;
    }
    pLay->lWidth = static_cast<LONG>(llWidth);
    pLay->lHeight = static_cast<LONG>(llHeight);
    pLay->wBitCount = static_cast<WORD>(nBits);
    pLay->dwStride = static_cast<DWORD>(llStride);
    pLay->dwImageBytes = static_cast<DWORD>(llImage);
    pLay->nBytesPerLine = hdr.nBytesPerLine > 0 ? hdr.nBytesPerLine : 0;
    pLay->llLineBytes = int64_t{pLay->nBytesPerLine} * hdr.bPlanes;
    pLay->llTotal = pLay->llLineBytes * llHeight;
    return true;
}

// False, with the refusal of data that ends early, when the bytes from the
// image data's start to the end of the file cannot decode to lay's llTotal
// bytes even at the most run-length coding gives: 63 bytes per two-byte run,
// 1 per single byte. Decides before the block is allocated, so that a tiny
// file cannot ask for one as large as its header claims. The whole rest of
// the file counts, not the entry's stated size: the decoder reads on to the
// end of the file when the image needs it. When the end cannot be told, the
// decoder finds out as it reads.
bool PcxDataCanFill(HFILE hFile, LONG lOffset, const PcxLayout& lay, PictureRefusal* pRefusal)
{
    const LONG lEnd = _llseek(hFile, 0, FILE_END);
    if (lEnd < 0) return true;
    int64_t llLeft = int64_t{lEnd} - lOffset - kHeaderBytes;
    if (llLeft < 0) llLeft = 0;
    const int64_t llMost = llLeft / 2 * kPcxMaxRun + llLeft % 2;
    if (lay.llTotal <= llMost) return true;
    *pRefusal = kRefuseDataEnds;
    return false;
}

// The 256-colour trailer, when the entry holds one after its header.
bool ReadPcxTrailer(HFILE hFile, LONG lOffset, LONG lSize, BYTE abColours[768])
{
    int64_t llStart = int64_t{lOffset} + lSize - kTrailerBytes;
    if (lSize < static_cast<LONG>(kHeaderBytes + kTrailerBytes) || llStart > INT32_MAX) return false;
    BYTE abRaw[kTrailerBytes];
    _llseek(hFile, static_cast<LONG>(llStart), FILE_BEGIN);
    if (_lread(hFile, abRaw, kTrailerBytes) != kTrailerBytes || abRaw[0] != kTrailerMarker) return false;
    memcpy(abColours, abRaw + 1, 768);
    return true;
}

// Fills the colour table from the header or the trailer, falling back to
// DefaultPalette (2 and 16 colours) or to black (256) when the palette counts
// as absent. Returns the number of entries.
UINT ChoosePcxColours(HFILE hFile, LONG lOffset, LONG lSize, const PcxHeader& hdr, RGBQUAD aTable[256])
{
    BYTE abTrailer[768];
    const BYTE* pSource = hdr.abPalette;
    UINT uCount = hdr.bPlanes * hdr.bBitsPerPixel == 1 ? 2 : 16;
    if (hdr.bVersion == 5 && ReadPcxTrailer(hFile, lOffset, lSize, abTrailer)) {
        uCount = 256;
        pSource = abTrailer;
    }
    bool bAllBlack = true;
    for (UINT k = 0; k < uCount; ++k) {
        aTable[k].rgbRed = pSource[3 * k];
        aTable[k].rgbGreen = pSource[3 * k + 1];
        aTable[k].rgbBlue = pSource[3 * k + 2];
        aTable[k].rgbReserved = 0;
        if (pSource[3 * k] | pSource[3 * k + 1] | pSource[3 * k + 2]) bAllBlack = false;
    }
    bool bAbsent = hdr.bVersion <= 1 || hdr.bVersion == 3 || bAllBlack;
    // A 256-colour palette that counts as absent stays all black: the table
    // keeps its 256 entries so that the rows sit where a DIB reader looks.
    if (bAbsent && uCount <= 16) {
        for (UINT k = 0; k < uCount; ++k) {
            aTable[k].rgbBlue = DefaultPalette[3 * k];
            aTable[k].rgbGreen = DefaultPalette[3 * k + 1];
            aTable[k].rgbRed = DefaultPalette[3 * k + 2];
            aTable[k].rgbReserved = 0;
        }
    }
    return uCount;
}

// Allocates the packed DIB, writes its header and colour table, and leaves it
// locked with *ppPixels at the start of its pixel area.
HGLOBAL AllocPackedDib(const PcxLayout& lay, const RGBQUAD* pTable, UINT uColours, BYTE** ppPixels)
{
    SIZE_T cbTable = sizeof(RGBQUAD) * uColours;
    HGLOBAL hDib = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(BITMAPINFOHEADER) + cbTable + lay.dwImageBytes);
    if (!hDib) return nullptr;
    BYTE* pBlock = static_cast<BYTE*>(GlobalLock(hDib));
    if (!pBlock) {
        GlobalFree(hDib);
        return nullptr;
    }
    BITMAPINFOHEADER bih;
    memset(&bih, 0, sizeof(bih));
    bih.biSize = sizeof(BITMAPINFOHEADER);
    bih.biWidth = lay.lWidth;
    bih.biHeight = lay.lHeight;
    bih.biPlanes = 1;
    bih.biBitCount = lay.wBitCount;
    bih.biCompression = BI_RGB;
    bih.biSizeImage = lay.dwImageBytes;
    bih.biClrUsed = uColours;
    bih.biClrImportant = uColours;
    memcpy(pBlock, &bih, sizeof(bih));
    if (cbTable) memcpy(pBlock + sizeof(bih), pTable, cbTable);
    *ppPixels = pBlock + sizeof(bih) + cbTable;
    return hDib;
}

// One byte of plane p, byte x of a scan line: its bits, most significant
// first, are plane p's bits of pixels 8x to 8x + 7, ORed into row bytes 4x
// to 4x + 3. Row bytes past the stride are pixels beyond the width: dropped.
void PlacePlaneByte(BYTE* pRow, DWORD dwStride, int p, int x, BYTE bValue)
{
    for (int i = 0; i < 4; ++i) {
        DWORD idx = 4 * static_cast<DWORD>(x) + static_cast<DWORD>(i);
        if (idx >= dwStride) return;
        BYTE b = 0;
        if (bValue & (0x80 >> (2 * i))) b |= HighMasks[p];
        if (bValue & (0x40 >> (2 * i))) b |= LowMasks[p];
        pRow[idx] |= b;
    }
}

// Plane p (red, green, blue) byte x is one component of pixel x, stored in
// the DIB's blue, green, red order; pixels beyond the width are dropped.
void PlaceRgbByte(BYTE* pRow, LONG lWidth, int p, int x, BYTE bValue)
{
    if (x < lWidth) pRow[3 * static_cast<size_t>(x) + static_cast<size_t>(2 - p)] = bValue;
}

// Stores n copies of bValue from scan-line position nPos on, plane by plane.
// A line holds fewer than 2^23 bytes (bytes per line times planes), so the
// plane and byte are found with one int division per run and then stepped:
// no 64-bit division, which 32-bit x86 makes a library call, runs per byte.
void PlaceRunInPlanes(const PcxLayout& lay, BYTE* pRow, int nPos, int n, BYTE bValue)
{
    int p = nPos / lay.nBytesPerLine;
    int x = nPos % lay.nBytesPerLine;
    for (int j = 0; j < n; ++j) {
        if (lay.placement == kPlacePlanes)
            PlacePlaneByte(pRow, lay.dwStride, p, x, bValue);
        else
            PlaceRgbByte(pRow, lay.lWidth, p, x, bValue);
        if (++x == lay.nBytesPerLine) {
            x = 0;
            ++p;
        }
    }
}

// Stores nCount copies of bValue from the cursor on. The caller has checked
// that they all fall inside the image.
void PlaceRun(const PcxLayout& lay, BYTE* pPixels, PcxCursor* pCur, BYTE bValue, int64_t llCount)
{
    while (llCount > 0) {
        int64_t n = lay.llLineBytes - pCur->llPos;
        if (n > llCount) n = llCount;
        BYTE* pRow = pPixels + static_cast<size_t>(lay.lHeight - 1 - pCur->llLine) * lay.dwStride;
        if (lay.placement == kPlaceBytes) {
            if (pCur->llPos < lay.dwStride) {
                int64_t m = lay.dwStride - pCur->llPos;
                size_t cb = static_cast<size_t>(m < n ? m : n);
                BYTE* pDst = pRow + pCur->llPos;
                if (cb <= 8) {
                    for (size_t i = 0; i < cb; ++i) pDst[i] = bValue;  // short runs: cheaper than a call
                } else {
                    memset(pDst, bValue, cb);
                }
            }
        } else {
            PlaceRunInPlanes(lay, pRow, static_cast<int>(pCur->llPos), static_cast<int>(n), bValue);
        }
        pCur->llPos += n;
        llCount -= n;
        if (pCur->llPos == lay.llLineBytes) {
            pCur->llPos = 0;
            ++pCur->llLine;
        }
    }
}

// Stores a run of up to 63 bytes where at least 64 bytes of the current
// line remain to be decoded: 8 or 64 bytes go out at once, and whatever lies
// past the run is overwritten by the items that follow it.
inline void StoreShortRun(BYTE* __restrict pDst, BYTE bValue, int nCount)
{
    uint64_t ullPattern = bValue * 0x0101010101010101ull;
    memcpy(pDst, &ullPattern, 8);
    if (nCount > 8) {
        for (int i = 8; i < 64; i += 8) memcpy(pDst + i, &ullPattern, 8);
    }
}

// Rows are filled bottom-up, each in its own pages: the hardware does not
// see the next one coming, so ask for it while this one is decoded.
void PrefetchRow(const BYTE* pRow, DWORD dwStride)
{
    for (DWORD i = 0; i < dwStride; i += 64) __builtin_prefetch(pRow + i, 1);
}

BYTE* RowOfLine(const PcxLayout& lay, BYTE* pPixels, int64_t llLine)
{
    return pPixels + static_cast<size_t>(lay.lHeight - 1 - llLine) * lay.dwStride;
}

// pPixels is restrict: the rows never overlap the reader, so its position can
// stay in a register across the stores.
bool DecodePcxImage(HFILE hFile, LONG lOffset, const PcxLayout& lay, BYTE* __restrict pPixels, PictureRefusal* pRefusal)
{
    PcxReader reader;
    reader.hFile = hFile;
    reader.uPos = 0;
    reader.uFill = 0;
    _llseek(hFile, static_cast<LONG>(int64_t{lOffset} + kHeaderBytes), FILE_BEGIN);
    // Inside a line, single-plane positions below llFastEnd have 64 bytes of
    // the line's own row ahead of them.
    const int64_t llRowPart = lay.llLineBytes < lay.dwStride ? lay.llLineBytes : int64_t{lay.dwStride};
    const int64_t llFastEnd = lay.placement == kPlaceBytes ? llRowPart - 64 : -1;
    const int64_t llTotal = lay.llTotal;
    PcxCursor cur = {0, 0};
    BYTE* pRow = RowOfLine(lay, pPixels, 0);
    PrefetchRow(pRow, lay.dwStride);
    int64_t k = 0;
    while (k < llTotal) {
        BYTE bValue;
        int nCount;
        if (PcxNextByte(&bValue, &nCount, &reader) != 0) {
            *pRefusal = kRefuseDataEnds;
            return false;
        }
        if (nCount > llTotal - k) {
            *pRefusal = kRefuseRunPastEnd;
            return false;
        }
        k += nCount;
        if (cur.llPos < llFastEnd) {
            StoreShortRun(pRow + cur.llPos, bValue, nCount);
            cur.llPos += nCount;
            continue;
        }
        int64_t llLine = cur.llLine;
        PlaceRun(lay, pPixels, &cur, bValue, nCount);
        if (cur.llLine != llLine && cur.llLine < lay.lHeight) {
            pRow = RowOfLine(lay, pPixels, cur.llLine);
            if (cur.llLine + 1 < lay.lHeight) PrefetchRow(RowOfLine(lay, pPixels, cur.llLine + 1), lay.dwStride);
        }
    }
    return true;
}

}  // namespace

bool PcxRefill(PcxReader* pReader)
{
    UINT uGot = _lread(pReader->hFile, pReader->abBuffer, kPcxReadChunk);
    if (uGot == 0 || uGot > kPcxReadChunk) return false;  // end of file, or HFILE_ERROR
    pReader->uPos = 0;
    pReader->uFill = uGot;
    return true;
}

HGLOBAL ReadPcxFileWithReason(HFILE hFile, LONG lOffset, LONG lSize, PictureRefusal* pRefusal)
{
    PictureRefusal eRefusal = kPictureMade;
    HGLOBAL hDib = nullptr;
    PcxHeader hdr;
    PcxLayout lay;
    if (ReadPcxHeader(hFile, lOffset, &hdr, &eRefusal) && PlanPcxLayout(hdr, &lay, &eRefusal) &&
        PcxDataCanFill(hFile, lOffset, lay, &eRefusal)) {
        RGBQUAD aTable[256];
        UINT uColours = lay.bHasTable ? ChoosePcxColours(hFile, lOffset, lSize, hdr, aTable) : 0;
        BYTE* pPixels = nullptr;
        hDib = AllocPackedDib(lay, aTable, uColours, &pPixels);
        if (!hDib) {
            eRefusal = kRefuseNoMemory;
        } else {
            bool bDone = DecodePcxImage(hFile, lOffset, lay, pPixels, &eRefusal);
            GlobalUnlock(hDib);
            if (!bDone) {
                GlobalFree(hDib);
                hDib = nullptr;
            }
        }
    }
    _lclose(hFile);
    if (pRefusal) *pRefusal = eRefusal;
    return hDib;
}

HGLOBAL ReadPcxFile(HFILE hFile, LONG lOffset, LONG lSize)
{
    return ReadPcxFileWithReason(hFile, lOffset, lSize, nullptr);
}
