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
