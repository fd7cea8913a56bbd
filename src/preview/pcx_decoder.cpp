// PCX entry -> packed DIB, in the order of its steps: the header, the layout
// it gives, the palette, the block, then the image data line by line (the
// items already buffered are taken many at a time by pcx_words.h). The entry
// comes from a downloaded level archive, so every size below is computed in
// 64 bits and checked before anything is allocated or read, and no decoded
// byte is stored outside its row.
#include "preview/pcx_decoder.h"

#include <cstring>

#include "preview/byte_cursor.h"
#include "preview/pcx_words.h"

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

// The DIB to make and the image data to decode into it. The DIB holds the
// whole picture, or its top-left corner when the caller keeps only that.
struct PcxLayout {
    PcxPlacement placement;
    LONG lWidth;   // of the DIB
    LONG lHeight;  // of the DIB: its rows hold the top lHeight scan lines
    WORD wBitCount;
    DWORD dwStride;       // bytes per DIB row, a multiple of 4
    DWORD dwImageBytes;   // dwStride * lHeight
    int nPlanes;          // of the image data
    int nBytesPerLine;    // of one plane; 0 when the header gives none
    int64_t llLineBytes;  // L: decoded bytes per scan line, all planes
    int64_t llTotal;      // N: decoded bytes of the whole image
    bool bHasTable;       // false for 24-bit pixels
};

// Bytes of a DIB row of llWidth pixels, padded to a multiple of 4.
int64_t RowStride(int64_t llWidth, int nBits)
{
    return (llWidth * nBits + 31) / 32 * 4;
}

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

// The bit counts a bitmap can be made of (DIBitmapRefusal's own list).
bool IsBitmapBitCount(int nBits)
{
    return nBits == 1 || nBits == 4 || nBits == 8 || nBits == 16 || nBits == 24 || nBits == 32;
}

// Checks the header's geometry and derives the DIB layout from it; the one
// place where a header is refused for what it holds. The DIB's size and bit
// count are in *pLay from the bit-count check on, whether or not refused.
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
    int64_t llStride = RowStride(llWidth, nBits);
    int64_t llImage = llStride * llHeight;
    if (llImage > kPcxMaxImageBytes) {
        *pRefusal = kRefuseTooLarge;
        return false;
    }
    pLay->lWidth = static_cast<LONG>(llWidth);
    pLay->lHeight = static_cast<LONG>(llHeight);
    pLay->wBitCount = static_cast<WORD>(nBits);
    // The bitmap step refuses every other bit count: a block made for one
    // (up to the image cap, for a header of a few bytes) would be wasted.
    if (!IsBitmapBitCount(nBits)) {
        *pRefusal = kRefuseBitCount;
        return false;
    }
    pLay->dwStride = static_cast<DWORD>(llStride);
    pLay->dwImageBytes = static_cast<DWORD>(llImage);
    pLay->nPlanes = hdr.bPlanes;
    pLay->nBytesPerLine = hdr.nBytesPerLine > 0 ? hdr.nBytesPerLine : 0;
    pLay->llLineBytes = int64_t{pLay->nBytesPerLine} * hdr.bPlanes;
    pLay->llTotal = pLay->llLineBytes * llHeight;
    return true;
}

// Narrows the DIB to the picture's top-left corner of at most the clip's
// size (and at least one pixel); the image data stays the whole picture's.
void ClipPcxLayout(const PcxClip& clip, PcxLayout* pLay)
{
    const LONG lWidth = clip.lWidth < 1 ? 1 : clip.lWidth;
    const LONG lHeight = clip.lHeight < 1 ? 1 : clip.lHeight;
    if (lWidth < pLay->lWidth) pLay->lWidth = lWidth;
    if (lHeight < pLay->lHeight) pLay->lHeight = lHeight;
    pLay->dwStride = static_cast<DWORD>(RowStride(pLay->lWidth, pLay->wBitCount));
    pLay->dwImageBytes = pLay->dwStride * static_cast<DWORD>(pLay->lHeight);
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

// How a scan line falls into its row. It is nPeriods stretches of nPeriod
// decoded bytes (the whole line, or with 3 or 4 planes each plane's part);
// the first nKept of each reach the row, the rest hold only pixels beyond
// the row's width and are scanned, never stored. A line holds fewer than
// 2^23 bytes (bytes per line times planes), so all of this fits an int and
// no 64-bit division is ever needed.
struct PcxLinePlan {
    int nPeriods;
    int nPeriod;
    int nKept;
};

PcxLinePlan PlanLine(const PcxLayout& lay)
{
    PcxLinePlan plan;
    if (lay.placement == kPlaceBytes) {
        plan.nPeriods = 1;
        plan.nPeriod = static_cast<int>(lay.llLineBytes);
        plan.nKept = lay.llLineBytes < lay.dwStride ? plan.nPeriod : static_cast<int>(lay.dwStride);
    } else {
        // Planes: byte x reaches row byte 4x, so it is kept while 4x < the
        // stride. RGB: byte x is pixel x.
        const int64_t llReach = lay.placement == kPlacePlanes ? int64_t{(lay.dwStride + 3) / 4} : int64_t{lay.lWidth};
        plan.nPeriods = lay.nPlanes;
        plan.nPeriod = lay.nBytesPerLine;
        plan.nKept = llReach < lay.nBytesPerLine ? static_cast<int>(llReach) : lay.nBytesPerLine;
    }
    return plan;
}

// The decoding's progress, from one stretch of a line to the next: the
// reader, the decoded bytes from the stretch's start to the image's end, and
// the copies of the last item's value that are decoded but not yet placed (a
// run may reach past the stretch that read it).
struct PcxDecodeState {
    PcxReader reader;
    int64_t llLeft;
    int nPending;
    BYTE bValue;
};

// Reads the next item as the pending copies. Refuses it when the data ends
// first, or when it reaches past the image's end, llLeft decoded bytes from
// where it starts.
bool TakeItem(PcxDecodeState* pState, int64_t llLeft, PictureRefusal* pRefusal)
{
    int nCount;
    if (PcxNextByte(&pState->bValue, &nCount, &pState->reader) != 0) {
        *pRefusal = kRefuseDataEnds;
        return false;
    }
    if (nCount > llLeft) {
        *pRefusal = kRefuseRunPastEnd;
        return false;
    }
    pState->nPending = nCount;
    return true;
}

// Stores a run of up to 63 bytes where at least 64 bytes of the current
// stretch remain: 8 or 64 bytes go out at once, and whatever lies past the
// run is overwritten by the items that follow it.
inline void StoreShortRun(BYTE* __restrict pDst, BYTE bValue, int nCount)
{
    uint64_t ullPattern = bValue * kEveryByte;
    memcpy(pDst, &ullPattern, 8);
    if (nCount > 8) {
        for (int i = 8; i < 64; i += 8) memcpy(pDst + i, &ullPattern, 8);
    }
}

// The next n decoded bytes, stored as they are in pDst[0, n). pDst is
// restrict: the row never overlaps the reader, so its position can stay in
// a register across the stores.
bool KeepBytes(PcxDecodeState* pState, BYTE* __restrict pDst, int n, PictureRefusal* pRefusal)
{
    int x = pState->nPending < n ? pState->nPending : n;
    memset(pDst, pState->bValue, static_cast<size_t>(x));
    pState->nPending -= x;
    // While 64 bytes of the stretch lie ahead, no item can reach its end, nor
    // so the image's end: items are decoded and stored without a check, 8
    // bytes of data at a time while they can be, then one by one.
    PcxReader* pReader = &pState->reader;
    x = KeepWords(pReader, pDst, x, n);
    while (x < n - 64) {
        const BYTE* p = pReader->abBuffer + pReader->uPos;
        const BYTE* pEnd = pReader->abBuffer + pReader->uFill;
        while (x < n - 64 && pEnd - p >= 2) {  // an item takes up to 2 bytes
            // Decoded without branching on the data, which is as random as
            // the picture.
            const UINT uRun = p[0] >= 0xC0;
            const int nCount = static_cast<int>(uRun * (p[0] & 0x3Fu) + (1 - uRun));
            StoreShortRun(pDst + x, p[uRun], nCount);
            x += nCount;
            p += 1 + uRun;
        }
        pReader->uPos = static_cast<UINT>(p - pReader->abBuffer);
        if (x < n - 64) {  // the buffer ends inside an item: one through the refill
            if (!TakeItem(pState, pState->llLeft - x, pRefusal)) return false;
            StoreShortRun(pDst + x, pState->bValue, pState->nPending);
            x += pState->nPending;
            pState->nPending = 0;
        }
    }
    while (x < n) {
        if (!TakeItem(pState, pState->llLeft - x, pRefusal)) return false;
        const int m = pState->nPending < n - x ? pState->nPending : n - x;
        for (int i = 0; i < m; ++i) pDst[x + i] = pState->bValue;
        x += m;
        pState->nPending -= m;
    }
    pState->llLeft -= n;
    return true;
}

// The next n decoded bytes, bytes x = 0 to n - 1 of plane p's part of the
// line, placed into pRow.
bool KeepPlaneBytes(PcxDecodeState* pState, const PcxLayout& lay, BYTE* pRow, int p, int n, PictureRefusal* pRefusal)
{
    for (int x = 0; x < n;) {
        if (pState->nPending == 0 && !TakeItem(pState, pState->llLeft - x, pRefusal)) return false;
        const int m = pState->nPending < n - x ? pState->nPending : n - x;
        if (lay.placement == kPlaceRgb) {
            // Plane p (red, green, blue) byte x is one component of pixel x,
            // stored in the DIB's blue, green, red order. n is at most the
            // width: every pixel here is inside it.
            BYTE* pDst = pRow + 3 * static_cast<size_t>(x) + static_cast<size_t>(2 - p);
            for (int i = 0; i < m; ++i) pDst[3 * i] = pState->bValue;
        } else {
            for (int i = 0; i < m; ++i) PlacePlaneByte(pRow, lay.dwStride, p, x + i, pState->bValue);
        }
        x += m;
        pState->nPending -= m;
    }
    pState->llLeft -= n;
    return true;
}

// The next llBytes decoded bytes, only counted: whole buffered blocks and
// words at a time, then item by item up to the stretch's end. The item that crosses it
// is checked against the image's end and leaves its copies pending.
bool SkipBytes(PcxDecodeState* pState, int64_t llBytes, PictureRefusal* pRefusal)
{
    int64_t llLeft = llBytes;
    const int nTaken = pState->nPending < llLeft ? pState->nPending : static_cast<int>(llLeft);
    pState->nPending -= nTaken;
    llLeft -= nTaken;
    while (llLeft > 0) {
        if (ScanWords(&pState->reader, &llLeft, ScanBlocks(&pState->reader, &llLeft, false))) {
            BYTE bValue;  // of a marker already counted
            if (!PcxTakeByte(&pState->reader, &bValue)) {
                *pRefusal = kRefuseDataEnds;
                return false;
            }
        }
        // Fewer than 8 bytes buffered, or the stretch ends within the next 8:
        // one item.
        if (!TakeItem(pState, pState->llLeft - (llBytes - llLeft), pRefusal)) return false;
        const int m = pState->nPending < llLeft ? pState->nPending : static_cast<int>(llLeft);
        pState->nPending -= m;
        llLeft -= m;
    }
    pState->llLeft -= llBytes;
    return true;
}

BYTE* RowOfLine(const PcxLayout& lay, BYTE* pPixels, LONG lLine)
{
    return pPixels + static_cast<size_t>(lay.lHeight - 1 - lLine) * lay.dwStride;
}

// Rows are filled bottom-up, each in its own pages: the hardware does not
// see the next one coming, so ask for it while this one is decoded.
void PrefetchRow(const BYTE* pRow, DWORD dwStride)
{
    for (DWORD i = 0; i < dwStride; i += 64) __builtin_prefetch(pRow + i, 1);
}

// Decodes the image data into the layout's rows: the top lay.lHeight scan
// lines, each as far as its row reaches. The rest of the data, to the last
// of its llTotal bytes, is read and checked the same way but only counted.
bool DecodePcxImage(HFILE hFile, LONG lOffset, const PcxLayout& lay, BYTE* pPixels, PictureRefusal* pRefusal)
{
    PcxDecodeState state;
    state.reader.hFile = hFile;
    state.reader.uPos = 0;
    state.reader.uFill = 0;
    state.llLeft = lay.llTotal;
    state.nPending = 0;
    state.bValue = 0;
    _llseek(hFile, static_cast<LONG>(int64_t{lOffset} + kHeaderBytes), FILE_BEGIN);
    if (lay.llTotal == 0) return true;
    const PcxLinePlan plan = PlanLine(lay);
    for (LONG lLine = 0; lLine < lay.lHeight; ++lLine) {
        BYTE* pRow = RowOfLine(lay, pPixels, lLine);
        if (lLine + 1 < lay.lHeight) PrefetchRow(RowOfLine(lay, pPixels, lLine + 1), lay.dwStride);
        for (int p = 0; p < plan.nPeriods; ++p) {
            const bool bKept = lay.placement == kPlaceBytes
                                   ? KeepBytes(&state, pRow, plan.nKept, pRefusal)
                                   : KeepPlaneBytes(&state, lay, pRow, p, plan.nKept, pRefusal);
            if (!bKept) return false;
            if (plan.nPeriod > plan.nKept && !SkipBytes(&state, plan.nPeriod - plan.nKept, pRefusal)) return false;
        }
    }
    // The scan lines below the rows.
    return state.llLeft == 0 || SkipBytes(&state, state.llLeft, pRefusal);
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

HGLOBAL ReadPcxFileWithReason(HFILE hFile, LONG lOffset, LONG lSize, PictureRefusal* pRefusal, const PcxClip* pClip,
                              PcxPlannedDib* pPlanned)
{
    PictureRefusal eRefusal = kPictureMade;
    HGLOBAL hDib = nullptr;
    PcxHeader hdr;
    PcxLayout lay;
    lay.lWidth = 0;
    lay.lHeight = 0;
    lay.wBitCount = 0;
    const bool bPlanned = ReadPcxHeader(hFile, lOffset, &hdr, &eRefusal) && PlanPcxLayout(hdr, &lay, &eRefusal);
    if (pPlanned) *pPlanned = {lay.lWidth, lay.lHeight, lay.wBitCount};
    if (bPlanned && PcxDataCanFill(hFile, lOffset, lay, &eRefusal)) {
        if (pClip) ClipPcxLayout(*pClip, &lay);
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
