#include "bmp_rle.h"

#include <cstring>

#include "tool_files.h"

namespace {

const char kEndsEarly[] = "the file ends before the picture does";
const size_t kFileHeaderSize = 14;
const size_t kInfoHeaderSize = 40;

uint32_t Le16(const unsigned char* p)
{
    return p[0] | (p[1] << 8);
}
uint32_t Le32(const unsigned char* p)
{
    return Le16(p) | (Le16(p + 2) << 16);
}

// The rows of the rewritten picture, bottom-up as in the file; a pixel
// outside them is dropped.
class PixelRows {
public:
    PixelRows(unsigned char* pRows, size_t uStride, const BmpLayout& layout)
        : m_pRows(pRows),
          m_uStride(uStride),
          m_llWidth(layout.llWidth),
          m_llHeight(layout.llHeight),
          m_bNibbles(layout.uBits == 4)
    {
    }
    void Put(int64_t x, int64_t y, unsigned uIndex)
    {
        if (x < 0 || x >= m_llWidth || y < 0 || y >= m_llHeight) return;
        unsigned char* pRow = m_pRows + m_uStride * static_cast<size_t>(y);
        if (!m_bNibbles) {
            pRow[x] = static_cast<unsigned char>(uIndex);
        } else if (x % 2 == 0) {
            pRow[x / 2] = static_cast<unsigned char>((pRow[x / 2] & 0x0f) | (uIndex << 4));
        } else {
            pRow[x / 2] = static_cast<unsigned char>((pRow[x / 2] & 0xf0) | (uIndex & 0x0f));
        }
    }
    int64_t Width() const { return m_llWidth; }
    int64_t Height() const { return m_llHeight; }
    bool Nibbles() const { return m_bNibbles; }

private:
    unsigned char* m_pRows;
    size_t m_uStride;
    int64_t m_llWidth;
    int64_t m_llHeight;
    bool m_bNibbles;
};

// Pixel k of a run of bValue: the byte itself at 8 bits, its two nibbles in
// turn at 4.
unsigned RunPixel(bool bNibbles, unsigned bValue, int64_t k)
{
    if (!bNibbles) return bValue;
    return k % 2 == 0 ? bValue >> 4 : bValue & 0x0f;
}

// Paints the run-length data from uPos on. Escapes (a zero count): 0 end of
// line, 1 end of picture, 2 a move right and up by the next two bytes, 3 and
// more that many pixels stored as they are, padded to an even byte count.
const char* DecodeRuns(const std::vector<unsigned char>& data, size_t uPos, PixelRows* pRows)
{
    const unsigned char* p = data.data();
    const size_t uSize = data.size();
    const bool bNibbles = pRows->Nibbles();
    int64_t x = 0, y = 0;
    while (y < pRows->Height()) {
        if (uSize - uPos < 2) return kEndsEarly;
        const unsigned bCount = p[uPos], bValue = p[uPos + 1];
        uPos += 2;
        if (bCount > 0) {
            for (int64_t k = 0; k < bCount && x + k < pRows->Width(); ++k) {
                pRows->Put(x + k, y, RunPixel(bNibbles, bValue, k));
            }
            x += bCount;
        } else if (bValue == 0) {
            x = 0;
            ++y;
        } else if (bValue == 1) {
            return nullptr;
        } else if (bValue == 2) {
            if (uSize - uPos < 2) return kEndsEarly;
            x += p[uPos];
            y += p[uPos + 1];
            uPos += 2;
        } else {
            const size_t uBytes = bNibbles ? (bValue + 1) / 2 : bValue;
            if (uSize - uPos < uBytes) return kEndsEarly;
            for (int64_t k = 0; k < bValue && x + k < pRows->Width(); ++k) {
                pRows->Put(x + k, y, bNibbles ? RunPixel(true, p[uPos + k / 2], k) : p[uPos + k]);
            }
            x += bValue;
            uPos += uBytes;
            if (uBytes % 2 && uPos < uSize) ++uPos;
        }
    }
    return nullptr;
}

// The file's colour table as 4-byte entries (blue, green, red, 0), padded
// with black to 2^bits entries at pTable.
const char* CopyColourTable(const std::vector<unsigned char>& data, const BmpLayout& layout, unsigned char* pTable)
{
    const size_t uEntry = layout.dwHeaderSize == 12 ? 3 : 4;
    const size_t uTableAt = kFileHeaderSize + layout.dwHeaderSize;
    if (layout.dwPixelsAt < uTableAt) return "a BMP whose pixels start inside its header";
    if (layout.dwPixelsAt > data.size()) return kEndsEarly;
    const size_t uMax = size_t{1} << layout.uBits;
    const size_t uGiven = (layout.dwPixelsAt - uTableAt) / uEntry;
    const size_t uEntries = uGiven < uMax ? uGiven : uMax;
    if (uEntries == 0) return "a BMP of 8 bits or fewer per pixel without its colour table";
    memset(pTable, 0, 4 * uMax);
    for (size_t i = 0; i < uEntries; ++i) memcpy(pTable + 4 * i, &data[uTableAt + uEntry * i], 3);
    return nullptr;
}

}  // namespace

bool ReadBmpLayout(const std::vector<unsigned char>& data, BmpLayout* pLayout)
{
    if (data.size() < kFileHeaderSize + 12 || data[0] != 'B' || data[1] != 'M') return false;
    const unsigned char* p = data.data() + kFileHeaderSize;
    pLayout->dwPixelsAt = Le32(data.data() + 10);
    pLayout->dwHeaderSize = Le32(p);
    pLayout->dwCompression = kBmpRgb;
    if (pLayout->dwHeaderSize == 12) {
        // Both WORDs, unsigned: the old header has no top-down rows.
        pLayout->llWidth = Le16(p + 4);
        pLayout->llHeight = Le16(p + 6);
        pLayout->uPlanes = Le16(p + 8);
        pLayout->uBits = Le16(p + 10);
        return true;
    }
    // The 16-byte OS/2 2.x header stops after the bit count: no compression.
    const size_t uFields = pLayout->dwHeaderSize == 16 ? 16 : 20;
    if (data.size() < kFileHeaderSize + uFields) return false;
    pLayout->llWidth = static_cast<int32_t>(Le32(p + 4));
    pLayout->llHeight = static_cast<int32_t>(Le32(p + 8));
    pLayout->uPlanes = Le16(p + 12);
    pLayout->uBits = Le16(p + 14);
    if (uFields == 20) pLayout->dwCompression = Le32(p + 16);
    return true;
}

bool IsPaletteBmp(const BmpLayout& layout)
{
    const uint32_t h = layout.dwHeaderSize;
    if ((h != 12 && h != 40 && h != 56 && h != 108 && h != 124) || layout.uPlanes != 1) return false;
    switch (layout.dwCompression) {
    case kBmpRgb:
        return layout.uBits == 1 || layout.uBits == 4 || layout.uBits == 8;
    case kBmpRle8:
        return layout.uBits == 8 && layout.llHeight > 0;
    case kBmpRle4:
        return layout.uBits == 4 && layout.llHeight > 0;
    default:
        return false;
    }
}

const char* RewritePaletteBmp(const std::vector<unsigned char>& data, const BmpLayout& layout, int64_t llMaxPixels,
                              std::vector<unsigned char>* pOut)
{
    const int64_t llRows = layout.llHeight < 0 ? -layout.llHeight : layout.llHeight;
    if (layout.llWidth <= 0 || llRows == 0) return "a BMP of no pixels";
    if (layout.llWidth > llMaxPixels / llRows) return "a BMP of too many pixels";
    const size_t uTableAt = kFileHeaderSize + kInfoHeaderSize;
    const size_t uTableSize = 4 * (size_t{1} << layout.uBits);
    const size_t uStride = (static_cast<size_t>(layout.llWidth) * layout.uBits + 31) / 32 * 4;
    const bool bRuns = layout.dwCompression != kBmpRgb;
    const size_t uRowsSize = uStride * static_cast<size_t>(llRows);
    // Uncompressed rows are the file's own, and all of them must be there
    // (stb_image would decode a picture of missing rows before noticing).
    const size_t uHeld = layout.dwPixelsAt < data.size() ? data.size() - layout.dwPixelsAt : 0;
    if (!bRuns && uHeld < uRowsSize) return kEndsEarly;
    pOut->assign(uTableAt + uTableSize + uRowsSize, 0);
    unsigned char* pHeader = pOut->data();
    if (const char* pszWhy = CopyColourTable(data, layout, pHeader + uTableAt)) return pszWhy;
    pHeader[0] = 'B';
    pHeader[1] = 'M';
    PutLe32(pHeader + 2, static_cast<uint32_t>(pOut->size()));
    PutLe32(pHeader + 10, static_cast<uint32_t>(uTableAt + uTableSize));
    PutLe32(pHeader + 14, kInfoHeaderSize);
    PutLe32(pHeader + 18, static_cast<uint32_t>(layout.llWidth));
    PutLe32(pHeader + 22, static_cast<uint32_t>(layout.llHeight));
    PutLe16(pHeader + 26, 1);
    PutLe16(pHeader + 28, layout.uBits);
    unsigned char* pRows = pHeader + uTableAt + uTableSize;
    if (!bRuns) {
        memcpy(pRows, &data[layout.dwPixelsAt], uRowsSize);
        return nullptr;
    }
    PixelRows rows(pRows, uStride, layout);
    return DecodeRuns(data, layout.dwPixelsAt, &rows);
}
