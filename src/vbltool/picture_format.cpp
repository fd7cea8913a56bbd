#include "picture_format.h"

#include <cstdio>
#include <cstring>

#include "bmp_rle.h"

namespace {

const char kSaveAsPng[] = ", which vbltool cannot read: save it as PNG";

bool StartsWith(const std::vector<unsigned char>& data, const char* psz, size_t uAt = 0)
{
    const size_t n = strlen(psz);
    return data.size() >= uAt + n && memcmp(data.data() + uAt, psz, n) == 0;
}

// Netpbm's magic numbers, "P1" to "P7", and what each is called; binary
// PGM (P5) and PPM (P6) are read by pnm_read.h, not named here.
const char* NetpbmName(const std::vector<unsigned char>& data)
{
    if (data.size() < 3 || data[0] != 'P' || !strchr(" \t\r\n", data[2]) || data[2] == 0) return nullptr;
    static const char* const apszNames[] = {"a plain (ASCII) PBM picture (P1)",
                                            "a plain (ASCII) PGM picture (P2)",
                                            "a plain (ASCII) PPM picture (P3)",
                                            "a PBM picture (P4)",
                                            "a PGM picture",
                                            "a PPM picture",
                                            "a PAM picture (P7)"};
    return data[1] >= '1' && data[1] <= '7' ? apszNames[data[1] - '1'] : nullptr;
}

uint32_t Le32At(const std::vector<unsigned char>& data, size_t uAt)
{
    return data[uAt] | (data[uAt + 1] << 8) | (data[uAt + 2] << 16) | (uint32_t{data[uAt + 3]} << 24);
}

unsigned BitCount(uint32_t dw)
{
    unsigned n = 0;
    for (; dw; dw &= dw - 1) ++n;
    return n;
}

// An OS/2 2.x BMP (16- or 64-byte header), which vbltool does not read: its
// compression, whose numbers 3 and 4 mean other things than in Windows'.
void NameOs2Bmp(const BmpLayout& layout, char* psz, size_t cb)
{
    static const char* const apszCompressions[] = {"", " with run-length compression (RLE8)",
                                                   " with run-length compression (RLE4)", " compressed with Huffman 1D",
                                                   " compressed with RLE24"};
    if (layout.dwCompression < 5) {
        snprintf(psz, cb, "an OS/2 2.x BMP (a header of %u bytes)%s", static_cast<unsigned>(layout.dwHeaderSize),
                 apszCompressions[layout.dwCompression]);
    } else {
        snprintf(psz, cb, "an OS/2 2.x BMP of compression type %u", static_cast<unsigned>(layout.dwCompression));
    }
}

// The colour masks (BI_BITFIELDS) at byte 54, after a 40-byte header or
// inside a 108- or 124-byte one: red, green and blue each of 1 to 8 bits, not
// all the same; the alpha mask of a 108- or 124-byte header of 8 bits at most.
const char* MaskFault(const std::vector<unsigned char>& data, const BmpLayout& layout)
{
    if (layout.dwHeaderSize == 56) return "a BMP with a header of 56 bytes and colour masks (BI_BITFIELDS)";
    const size_t uMasks = layout.dwHeaderSize == 40 ? 3 : 4;  // the header (and masks) are whole
    uint32_t adw[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < uMasks; ++i) adw[i] = Le32At(data, 54 + 4 * i);
    if (!adw[0] || !adw[1] || !adw[2]) return "a BMP with an empty colour mask (BI_BITFIELDS)";
    if (adw[0] == adw[1] && adw[1] == adw[2]) return "a BMP whose colour masks (BI_BITFIELDS) are all the same";
    for (uint32_t dw : adw) {
        if (BitCount(dw) > 8) return "a BMP with a colour mask of more than 8 bits (BI_BITFIELDS)";
    }
    return nullptr;
}

// A BMP of a header size that vbltool reads (12, 40, 56, 108 or 124 bytes,
// one plane): what in its fields it cannot read, in their order; empty when
// nothing.
std::string WindowsBmpFault(const std::vector<unsigned char>& data, const BmpLayout& layout)
{
    char sz[160];
    const unsigned b = layout.uBits;
    const uint32_t c = layout.dwCompression;
    if (layout.dwHeaderSize == 12 && b != 1 && b != 4 && b != 8 && b != 24) {
        snprintf(sz, sizeof(sz), "an OS/2 1.x BMP at %u bits per pixel", b);
    } else if (c == kBmpJpeg || c == kBmpPng) {
        snprintf(sz, sizeof(sz), "a BMP holding a %s", c == kBmpJpeg ? "JPEG (BI_JPEG)" : "PNG (BI_PNG)");
    } else if (c > kBmpPng) {
        snprintf(sz, sizeof(sz), "a BMP of compression type %u", static_cast<unsigned>(c));
    } else if (b != 1 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32) {
        snprintf(sz, sizeof(sz), "a BMP at %u bits per pixel", b);
    } else if ((c == kBmpRle8 && b != 8) || (c == kBmpRle4 && b != 4)) {
        snprintf(sz, sizeof(sz), "a BMP whose run-length compression (BI_RLE%d) is at %u bits per pixel",
                 c == kBmpRle8 ? 8 : 4, b);
    } else if ((c == kBmpRle8 || c == kBmpRle4) && layout.llHeight < 0) {
        snprintf(sz, sizeof(sz), "a top-down BMP with run-length compression (BI_RLE%d)", c == kBmpRle8 ? 8 : 4);
    } else if (c == kBmpBitFields && b != 16 && b != 32) {
        snprintf(sz, sizeof(sz), "a BMP with colour masks (BI_BITFIELDS) at %u bits per pixel", b);
    } else if (c == kBmpBitFields && MaskFault(data, layout)) {
        snprintf(sz, sizeof(sz), "%s", MaskFault(data, layout));
    } else {
        return std::string();
    }
    return sz + std::string(kSaveAsPng);
}

}  // namespace

size_t BmpHeaderEnd(const BmpLayout& layout)
{
    const bool bMasksAfter = layout.dwHeaderSize == 40 && layout.dwCompression == kBmpBitFields;
    return 14 + layout.dwHeaderSize + (bMasksAfter ? 12 : 0);
}

std::string BmpFault(const std::vector<unsigned char>& data)
{
    BmpLayout layout;
    if (!ReadBmpLayout(data, &layout)) return "a BMP cut off inside its header";
    char sz[160];
    const uint32_t h = layout.dwHeaderSize;
    if (h != 12 && h != 16 && h != 40 && h != 52 && h != 56 && h != 64 && h != 108 && h != 124) {
        snprintf(sz, sizeof(sz), "a BMP with a header of %u bytes", static_cast<unsigned>(h));
    } else if (layout.uPlanes != 1) {
        snprintf(sz, sizeof(sz), "a BMP of %u planes, where the format has 1", layout.uPlanes);
    } else if (h == 16 || h == 64) {
        NameOs2Bmp(layout, sz, sizeof(sz));
    } else if (h == 52) {
        snprintf(sz, sizeof(sz), "a BMP with a header of 52 bytes (BITMAPV2INFOHEADER)");
    } else if (data.size() < BmpHeaderEnd(layout)) {
        return "a BMP cut off inside its header";
    } else {
        const std::string strFault = WindowsBmpFault(data, layout);
        if (!strFault.empty()) return strFault;
        // Pixels of 8 bits or fewer are indexes into the colour table, which
        // lies between the header and the pixels. Wider ones follow the
        // header and its masks, or bytes that LoadPicture takes out.
        if (layout.uBits <= 8 && layout.dwPixelsAt > data.size())
            return "the file ends before the picture does, inside its colour table";
        if (layout.uBits > 8 && layout.dwPixelsAt < BmpHeaderEnd(layout))
            return "a BMP whose pixels start inside its header";
        if (layout.dwPixelsAt > data.size()) return "the file ends before the picture does";
        return std::string();
    }
    return sz + std::string(kSaveAsPng);
}

namespace {

// The DHT segment at uAt (just past its marker): each table's 16 counts must
// add up to 256 at most.
bool HuffmanTablesFit(const std::vector<unsigned char>& data, size_t uAt)
{
    if (data.size() - uAt < 2) return true;
    const size_t uEnd = uAt + ((data[uAt] << 8) | data[uAt + 1]);
    for (size_t i = uAt + 2; i < uEnd && i < data.size(); ++i) {
        size_t uCodes = 0;  // counts past the end of the file are 0 to stb_image
        for (size_t k = 1; k <= 16 && i + k < data.size(); ++k) uCodes += data[i + k];
        if (uCodes > 256) return false;
        i += 16 + uCodes;
    }
    return true;
}

}  // namespace

std::string UnreadablePictureReason(const std::vector<unsigned char>& data)
{
    if (StartsWith(data, "BM")) {
        const std::string strFault = BmpFault(data);
        return strFault.empty() ? "a BMP whose header is damaged" : strFault;
    }
    const char* pszFound = nullptr;
    if (StartsWith(data, "RIFF") && StartsWith(data, "WEBP", 8)) {
        pszFound = "a WebP picture";
    } else if (StartsWith(data, "II*") || StartsWith(data, "MM")) {
        if (data.size() >= 4 && (data[0] == 'I' ? data[3] == 0 : data[2] == 0 && data[3] == '*'))
            pszFound = "a TIFF picture";
    } else if (StartsWith(data, "\x89PNG\r\n\x1a\n")) {
        return "a PNG whose header is damaged";
    } else if (StartsWith(data, "GIF8")) {
        return "a GIF whose header is damaged";
    } else if (StartsWith(data, "\xff\xd8\xff")) {
        return "a JPEG whose header is damaged";
    } else {
        pszFound = NetpbmName(data);
    }
    if (pszFound) return std::string(pszFound) + kSaveAsPng;
    return "not a PNG, BMP, JPEG, TGA, GIF, PGM, PPM or PCX picture (unknown image type)";
}

const char* JpegHuffmanFault(const std::vector<unsigned char>& data)
{
    size_t i = 0;
    while (i < data.size() && data[i] == 0xff) ++i;
    if (i == 0 || i >= data.size() || data[i] != 0xd8) return nullptr;  // not a JPEG to stb_image
    // Marker by marker, each segment skipped by its length. Between them, in
    // entropy-coded data, a marker is 0xff and a byte neither 0 nor a restart.
    for (++i; i + 1 < data.size(); ++i) {
        if (data[i] != 0xff) continue;
        size_t m = i + 1;
        while (m < data.size() && data[m] == 0xff) ++m;
        if (m >= data.size()) break;
        const unsigned char bMarker = data[m];
        i = m;
        if (bMarker == 0 || bMarker == 1 || (bMarker >= 0xd0 && bMarker <= 0xd9)) continue;
        if (bMarker == 0xc4 && !HuffmanTablesFit(data, m + 1)) {
            return "a JPEG whose Huffman table holds more than 256 codes, which vbltool cannot read";
        }
        if (data.size() - m > 2) i = m + ((data[m + 1] << 8) | data[m + 2]);
    }
    return nullptr;
}
