#include "preview/dib_header.h"

#include <climits>
#include <cstdint>

namespace {

constexpr DWORD kCoreHeaderBytes = sizeof(BITMAPCOREHEADER);  // 12
constexpr DWORD kInfoHeaderBytes = sizeof(BITMAPINFOHEADER);  // 40
// Header and colour table never span 2 GiB in a DIB that GDI could take.
constexpr uint64_t kMaxBitsOffset = INT32_MAX;

bool IsCoreHeader(const BITMAPINFO* lpbi)
{
    return lpbi->bmiHeader.biSize == kCoreHeaderBytes;
}

WORD BitCount(const BITMAPINFO* lpbi)
{
    if (IsCoreHeader(lpbi)) {
        return reinterpret_cast<const BITMAPCOREHEADER*>(lpbi)->bcBitCount;
    }
    return lpbi->bmiHeader.biBitCount;
}

// Only the bit counts that index a colour table have one by default.
uint32_t ColoursForBitCount(WORD wBitCount)
{
    switch (wBitCount) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;  // 24 and every other count: no table
    }
}

// The table size as the header states it, before any narrowing to int.
uint32_t ColourEntries(const BITMAPINFO* lpbi)
{
    if (!IsCoreHeader(lpbi) && lpbi->bmiHeader.biClrUsed != 0) {
        return lpbi->bmiHeader.biClrUsed;
    }
    return ColoursForBitCount(BitCount(lpbi));
}

// Bytes from the header's start to the first pixel byte.
uint64_t BitsOffset(const BITMAPINFO* lpbi)
{
    const uint64_t cbEntry = IsCoreHeader(lpbi) ? sizeof(RGBTRIPLE) : sizeof(RGBQUAD);
    return uint64_t{lpbi->bmiHeader.biSize} + cbEntry * ColourEntries(lpbi);
}

bool IsPixelBitCount(WORD wBitCount)
{
    switch (wBitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        return true;
    default:
        return false;
    }
}

// Rows are padded to whole 32-bit words. uWidth < 2^32 and wBitCount <= 32,
// so nothing here can wrap.
uint64_t RowStride(uint64_t uWidth, WORD wBitCount)
{
    return (uWidth * wBitCount + 31) / 32 * 4;
}

}  // namespace

int DIBitmapColors(const BITMAPINFO* lpbi)
{
    // A count beyond int can describe no block that fits in memory anyway.
    const uint32_t uColours = ColourEntries(lpbi);
    return uColours > static_cast<uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(uColours);
}

const BYTE* DIBitmapBits(const BITMAPINFO* lpbi)
{
    // The offset can reach 2^34 bytes: added as it stands to a 32-bit address
    // it would wrap back into the header. Past kMaxBitsOffset it is refused
    // alike in every build, and the address is never left to wrap.
    const uint64_t cbOffset = BitsOffset(lpbi);
    const uintptr_t uBase = reinterpret_cast<uintptr_t>(lpbi);
    if (cbOffset > kMaxBitsOffset || cbOffset > UINTPTR_MAX - uBase) return nullptr;
    return reinterpret_cast<const BYTE*>(lpbi) + static_cast<size_t>(cbOffset);
}

DibRefusal DIBitmapRefusal(const BITMAPINFO* lpbi, SIZE_T cbBlock)
{
    if (cbBlock < sizeof(DWORD)) return kDibBelowSizeField;
    const DWORD cbHeader = lpbi->bmiHeader.biSize;
    uint64_t uWidth = 0;
    uint64_t uHeight = 0;
    if (cbHeader == kCoreHeaderBytes) {
        if (cbBlock < kCoreHeaderBytes) return kDibBelowCoreHeader;
        const auto* pCore = reinterpret_cast<const BITMAPCOREHEADER*>(lpbi);
        uWidth = pCore->bcWidth;
        uHeight = pCore->bcHeight;
    } else {
        if (cbHeader < kInfoHeaderBytes || cbBlock < cbHeader) return kDibHeaderSize;
        const BITMAPINFOHEADER& bih = lpbi->bmiHeader;
        if (bih.biCompression != BI_RGB) return kDibCompressed;
        if (bih.biWidth <= 0 || bih.biHeight == 0) return kDibNoPixels;
        uWidth = static_cast<uint64_t>(bih.biWidth);
        // A negative height is a top-down DIB of as many rows.
        const int64_t lHeight = bih.biHeight;
        uHeight = static_cast<uint64_t>(lHeight < 0 ? -lHeight : lHeight);
    }
    const WORD wBitCount = BitCount(lpbi);
    if (!IsPixelBitCount(wBitCount)) return kDibBitCount;
    if (uWidth == 0 || uHeight == 0) return kDibNoPixels;
    // The offset is below 2^35; the rows are compared by division, since
    // stride times height may not fit in 64 bits.
    const uint64_t cbOffset = BitsOffset(lpbi);
    if (cbOffset > cbBlock || cbOffset > kMaxBitsOffset ||
        uHeight > (cbBlock - cbOffset) / RowStride(uWidth, wBitCount)) {
        return kDibPastBlock;
    }
    return kDibFits;
}

bool DIBitmapFitsBlock(const BITMAPINFO* lpbi, SIZE_T cbBlock)
{
    return DIBitmapRefusal(lpbi, cbBlock) == kDibFits;
}

const char* DibRefusalText(DibRefusal eRefusal)
{
    // Indexed by DibRefusal.
    static const char* const Texts[kDibRefusalCount] = {
        nullptr,
        "the block is smaller than a header",
        "the block is smaller than its header",
        "the header size is not one of a bitmap",
        "the pixels are compressed",
        "the picture has no pixels",
        "its bits per pixel are not 1, 4, 8, 16, 24 or 32",
        "its colour table or pixel rows reach past the block",
    };
    if (eRefusal < 0 || eRefusal >= kDibRefusalCount) return "unknown reason";
    return Texts[eRefusal];
}
