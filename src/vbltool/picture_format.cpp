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

// Netpbm's magic numbers, "P1" to "P7", and what each is called.
const char* NetpbmName(const std::vector<unsigned char>& data)
{
    if (data.size() < 3 || data[0] != 'P' || !strchr(" \t\r\n", data[2]) || data[2] == 0) return nullptr;
    static const char* const apszNames[] = {"a PBM picture", "a PGM picture", "a PPM picture", "a PBM picture",
                                            "a PGM picture", "a PPM picture", "a PAM picture"};
    return data[1] >= '1' && data[1] <= '7' ? apszNames[data[1] - '1'] : nullptr;
}

// A BMP that stb_image refused: what its header holds.
std::string BmpReason(const std::vector<unsigned char>& data)
{
    BmpLayout layout;
    if (!ReadBmpLayout(data, &layout)) return "a BMP cut off inside its header";
    char sz[200];
    const uint32_t h = layout.dwHeaderSize;
    if (layout.dwCompression == kBmpJpeg || layout.dwCompression == kBmpPng) {
        snprintf(sz, sizeof(sz), "a BMP holding a %s",
                 layout.dwCompression == kBmpJpeg ? "JPEG (BI_JPEG)" : "PNG (BI_PNG)");
    } else if (h != 12 && h != 40 && h != 56 && h != 108 && h != 124) {
        snprintf(sz, sizeof(sz), "a BMP with a header of %u bytes", static_cast<unsigned>(h));
    } else if ((layout.dwCompression == kBmpRle8 || layout.dwCompression == kBmpRle4) && layout.llHeight < 0) {
        snprintf(sz, sizeof(sz), "a top-down BMP with run-length compression (BI_RLE%d)",
                 layout.dwCompression == kBmpRle8 ? 8 : 4);
    } else if (layout.dwCompression == kBmpRle8 || layout.dwCompression == kBmpRle4) {
        snprintf(sz, sizeof(sz), "a BMP whose run-length compression (BI_RLE%d) is at %u bits per pixel",
                 layout.dwCompression == kBmpRle8 ? 8 : 4, layout.uBits);
    } else if (layout.dwCompression > kBmpPng) {
        snprintf(sz, sizeof(sz), "a BMP of compression type %u", static_cast<unsigned>(layout.dwCompression));
    } else {
        snprintf(sz, sizeof(sz), "a BMP of %u planes at %u bits per pixel, compression type %u", layout.uPlanes,
                 layout.uBits, static_cast<unsigned>(layout.dwCompression));
    }
    return std::string(sz) + kSaveAsPng;
}

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
    if (StartsWith(data, "BM")) return BmpReason(data);
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
    return "not a PNG, BMP, JPEG, TGA, GIF or PCX picture (unknown image type)";
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
