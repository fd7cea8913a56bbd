#include "picture_size_check.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

const char kPictureFileEnds[] = "the file ends before the picture does";

namespace {

using Bytes = std::vector<unsigned char>;

// Deflate gives at most 258 bytes for a match of two 1-bit codes.
constexpr uint64_t kDeflateMostPerByte = 1032;
// One TGA run-length packet: a count byte and one pixel for up to 128 pixels.
constexpr uint64_t kTgaMostPerPacket = 128;

bool StartsWith(const Bytes& data, const char* psz, size_t n)
{
    return data.size() >= n && memcmp(data.data(), psz, n) == 0;
}

uint32_t Be32(const Bytes& data, size_t i)
{
    return (uint32_t{data[i]} << 24) | (uint32_t{data[i + 1]} << 16) | (uint32_t{data[i + 2]} << 8) | data[i + 3];
}

unsigned Be16(const Bytes& data, size_t i)
{
    return (unsigned{data[i]} << 8) | data[i + 1];
}

unsigned Le16(const Bytes& data, size_t i)
{
    return data[i] | (unsigned{data[i + 1]} << 8);
}

bool Refuse(std::string* pstrReason, const std::string& strReason)
{
    *pstrReason = strReason;
    return false;
}

// Channels of a PNG colour type: grey, -, RGB, palette, grey and alpha, -, RGBA.
unsigned PngChannels(unsigned uColourType)
{
    static const unsigned auChannels[7] = {1, 1, 3, 1, 2, 1, 4};
    return uColourType < 7 ? auChannels[uColourType] : 1;
}

// Bytes of the rows of a w x h picture of uBits a pixel: each row its filter
// byte and its pixels, whole bytes. An interlaced picture's rows are those
// of its seven passes.
uint64_t PngRowBytes(uint64_t w, uint64_t h, unsigned uBits, bool bInterlaced)
{
    struct Pass {
        unsigned x0, y0, dx, dy;
    };
    static const Pass aAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                   {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    if (!bInterlaced) return h * (1 + (w * uBits + 7) / 8);
    uint64_t ullBytes = 0;
    for (const Pass& p : aAdam7) {
        const uint64_t ullW = w > p.x0 ? (w - p.x0 + p.dx - 1) / p.dx : 0;
        const uint64_t ullH = h > p.y0 ? (h - p.y0 + p.dy - 1) / p.dy : 0;
        if (ullW && ullH) ullBytes += ullH * (1 + (ullW * uBits + 7) / 8);
    }
    return ullBytes;
}

// Chunk by chunk up to IEND, as stb_image reads them, each with its CRC.
bool PngFits(const Bytes& data, int nWidth, int nHeight, std::string* pstrReason)
{
    const size_t cb = data.size();
    uint64_t ullCompressed = 0;
    unsigned uDepth = 8, uColourType = 0;
    bool bHeader = false, bInterlaced = false;
    for (size_t i = 8;;) {
        if (cb - i < 12) return Refuse(pstrReason, kPictureFileEnds);
        const uint32_t uLength = Be32(data, i);
        const uint32_t uType = Be32(data, i + 4);
        if (uLength > cb - i - 12) return Refuse(pstrReason, kPictureFileEnds);
        if (uType == 0x49484452 && uLength == 13 && !bHeader) {  // IHDR
            bHeader = true;
            uDepth = data[i + 16];
            uColourType = data[i + 17];
            bInterlaced = data[i + 20] != 0;
        } else if (uType == 0x49444154) {  // IDAT
            ullCompressed += uLength;
        } else if (uType == 0x49454e44) {  // IEND
            break;
        }
        i += 12 + size_t{uLength};
    }
    // stb_image sizes its inflate buffer by these rows, to be filled by the
    // compressed data. nWidth and nHeight are those of IHDR, within 2^24.
    const uint64_t ullRows = PngRowBytes(static_cast<uint32_t>(nWidth), static_cast<uint32_t>(nHeight),
                                         PngChannels(uColourType) * uDepth, bInterlaced);
    if (ullRows <= ullCompressed * kDeflateMostPerByte) return true;
    char sz[120];
    snprintf(sz, sizeof(sz), "a PNG whose compressed data is too short for its %d x %d pixels", nWidth, nHeight);
    return Refuse(pstrReason, sz);
}

// Skips the sub-blocks at *pi (each a length byte and as many bytes, up to a
// length of 0); false when the data ends first.
bool SkipGifSubBlocks(const Bytes& data, size_t* pi)
{
    for (size_t i = *pi; i < data.size(); i += 1 + size_t{data[i]}) {
        if (data[i] == 0) {
            *pi = i + 1;
            return true;
        }
    }
    return false;
}

size_t GifColourTable(unsigned char bFlags)
{
    return bFlags & 0x80 ? size_t{3} << ((bFlags & 7) + 1) : 0;
}

// Block by block to the end of the first image.
bool GifFits(const Bytes& data, std::string* pstrReason)
{
    if (data.size() < 13) return Refuse(pstrReason, kPictureFileEnds);
    size_t i = 13 + GifColourTable(data[10]);
    while (i < data.size()) {
        const unsigned char bBlock = data[i];
        if (bBlock == 0x2c) {  // image descriptor, local colours, LZW code size, data
            if (data.size() - i < 11) break;
            i += 10 + GifColourTable(data[i + 9]) + 1;
            if (i > data.size() || !SkipGifSubBlocks(data, &i)) break;
            return true;
        }
        if (bBlock == 0x3b) return Refuse(pstrReason, "a GIF holding no picture");
        if (bBlock != 0x21) return true;  // stb_image names what it is
        i += 2;                           // introducer and label
        if (!SkipGifSubBlocks(data, &i)) break;
    }
    return Refuse(pstrReason, kPictureFileEnds);
}

// The 8 x 8 blocks of the frame header (SOFn) at m, the marker's byte: every
// component's samples, in blocks; 0 when the header is not whole.
uint64_t JpegFrameBlocks(const Bytes& data, size_t m)
{
    if (data.size() - m < 9) return 0;
    const uint64_t ullHeight = Be16(data, m + 4), ullWidth = Be16(data, m + 6);
    const size_t nComponents = data[m + 8];
    if (data.size() - m - 9 < 3 * nComponents) return 0;
    unsigned uMaxH = 1, uMaxV = 1;
    for (size_t c = 0; c < nComponents; ++c) {
        const unsigned char bSampling = data[m + 10 + 3 * c];
        if ((bSampling >> 4) > uMaxH) uMaxH = bSampling >> 4;
        if ((bSampling & 15) > uMaxV) uMaxV = bSampling & 15;
    }
    uint64_t ullBlocks = 0;
    for (size_t c = 0; c < nComponents; ++c) {
        const unsigned char bSampling = data[m + 10 + 3 * c];
        const uint64_t ullW = (ullWidth * (bSampling >> 4) + uMaxH - 1) / uMaxH;
        const uint64_t ullH = (ullHeight * (bSampling & 15) + uMaxV - 1) / uMaxV;
        ullBlocks += (ullW + 7) / 8 * ((ullH + 7) / 8);
    }
    return ullBlocks;
}

bool IsFrameMarker(unsigned char bMarker)
{
    return bMarker >= 0xc0 && bMarker <= 0xcf && bMarker != 0xc4 && bMarker != 0xc8 && bMarker != 0xcc;
}

// Where stb_image takes data for a JPEG: SOI after any fill bytes 0xff.
// Returns the SOI's second byte, or 0 when the data is no JPEG.
size_t JpegStart(const Bytes& data)
{
    size_t i = 0;
    while (i < data.size() && data[i] == 0xff) ++i;
    return i > 0 && i < data.size() && data[i] == 0xd8 ? i : 0;
}

// Marker by marker from SOI (at i), each segment skipped by its length, to
// the first scan.
bool JpegFits(const Bytes& data, size_t i, std::string* pstrReason)
{
    uint64_t ullBlocks = 0;
    uint64_t ullScanBytes = 0;
    for (++i; i + 1 < data.size();) {
        if (data[i] != 0xff) {  // stb_image looks for the next marker
            ++i;
            continue;
        }
        size_t m = i + 1;
        while (m < data.size() && data[m] == 0xff) ++m;
        if (m >= data.size() || data[m] == 0xd9) break;                              // the end, or EOI before any scan
        if (data[m] == 0 || data[m] == 1 || (data[m] >= 0xd0 && data[m] <= 0xd8)) {  // no segment
            i = m + 1;
            continue;
        }
        if (data.size() - m < 3) break;
        const size_t uNext = m + 1 + Be16(data, m + 1);
        if (IsFrameMarker(data[m]) && ullBlocks == 0) ullBlocks = JpegFrameBlocks(data, m);
        if (data[m] == 0xda) {
            ullScanBytes = uNext < data.size() ? data.size() - uNext : 0;
            break;
        }
        i = uNext;
    }
    if (ullBlocks <= 8 * ullScanBytes) return true;
    return Refuse(pstrReason, kPictureFileEnds);
}

// stb_image's own reading of TGA headers: the identifier, then the colour
// map only for a colour-mapped picture (its start field counted as bytes to
// skip), then the pixels, each (bits + 7) / 8 bytes.
bool TgaFits(const Bytes& data, int nWidth, int nHeight, std::string* pstrReason)
{
    if (data.size() < 18) return Refuse(pstrReason, kPictureFileEnds);
    uint64_t ullStart = 18 + uint64_t{data[0]};
    if (data[1] != 0) ullStart += Le16(data, 3) + uint64_t{Le16(data, 5)} * ((data[7] + 7u) / 8);
    const uint64_t ullPixelBytes = (data[16] + 7u) / 8;
    const uint64_t ullPixels = uint64_t{static_cast<uint32_t>(nWidth)} * static_cast<uint32_t>(nHeight);
    const uint64_t ullNeeded = data[2] >= 8
                                   ? (ullPixels + kTgaMostPerPacket - 1) / kTgaMostPerPacket * (1 + ullPixelBytes)
                                   : ullPixels * ullPixelBytes;
    if (ullStart <= data.size() && ullNeeded <= data.size() - ullStart) return true;
    return Refuse(pstrReason, kPictureFileEnds);
}

}  // namespace

bool PictureFitsFile(const Bytes& data, int nWidth, int nHeight, std::string* pstrReason)
{
    // stb_image tells its formats apart in this order by these signatures;
    // what none of them claims is a TGA.
    if (const size_t uSoi = JpegStart(data)) return JpegFits(data, uSoi, pstrReason);
    if (StartsWith(data, "\x89PNG\r\n\x1a\n", 8)) return PngFits(data, nWidth, nHeight, pstrReason);
    if (StartsWith(data, "BM", 2)) return true;
    if (StartsWith(data, "GIF87a", 6) || StartsWith(data, "GIF89a", 6)) return GifFits(data, pstrReason);
    return TgaFits(data, nWidth, nHeight, pstrReason);
}
