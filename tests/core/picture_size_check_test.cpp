// vbltool's checks of a picture's header against what its file holds, before
// stb_image allocates for it: each format at the edge, the file that holds
// just enough and the one a byte or a bit short.
#include <string>
#include <vector>

#include "picture_size_check.h"
#include "test_support.h"

namespace {

using Data = std::vector<unsigned char>;

const char kEnds[] = "the file ends before the picture does";

void Append(Data* p, std::initializer_list<unsigned> bytes)
{
    for (unsigned b : bytes) p->push_back(static_cast<unsigned char>(b));
}

void AppendBe32(Data* p, uint32_t v)
{
    Append(p, {v >> 24, (v >> 16) & 255, (v >> 8) & 255, v & 255});
}

// A PNG chunk, its CRC left 0: neither the checks nor stb_image read it.
void PngChunk(Data* p, const char* pszType, const Data& body)
{
    AppendBe32(p, static_cast<uint32_t>(body.size()));
    p->insert(p->end(), pszType, pszType + 4);
    p->insert(p->end(), body.begin(), body.end());
    AppendBe32(p, 0);
}

// Signature, IHDR, one IDAT of cbIdat bytes, IEND.
Data Png(uint32_t w, uint32_t h, unsigned depth, unsigned colourType, size_t cbIdat, unsigned interlace = 0)
{
    Data png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    Data ihdr;
    AppendBe32(&ihdr, w);
    AppendBe32(&ihdr, h);
    Append(&ihdr, {depth, colourType, 0, 0, interlace});
    PngChunk(&png, "IHDR", ihdr);
    PngChunk(&png, "IDAT", Data(cbIdat, 0x55));
    PngChunk(&png, "IEND", {});
    return png;
}

struct Case {
    const char* pszWhat;
    Data data;
    int nWidth, nHeight;
    std::string strReason;  // empty: the file can hold the picture
};

void ExpectCases(const std::vector<Case>& cases)
{
    for (const Case& c : cases) {
        std::string strReason;
        EXPECT_EQ(PictureFitsFile(c.data, c.nWidth, c.nHeight, &strReason), c.strReason.empty()) << c.pszWhat;
        EXPECT_EQ(strReason, c.strReason) << c.pszWhat;
    }
}

Data Cut(Data data, size_t cbLess)
{
    data.resize(data.size() - cbLess);
    return data;
}

Data With(Data data, std::initializer_list<unsigned> more)
{
    Append(&data, more);
    return data;
}

}  // namespace

TEST(PictureSizeCheckTest, PngChunksAndCompressedData)
{
    Data longChunk = Png(4, 4, 8, 6, 10);
    longChunk[longChunk.size() - 12 + 3] = 1;  // IEND claims a byte the file does not hold
    Data twoGiB = Png(16, 12, 16, 6, 10);
    twoGiB.insert(twoGiB.end() - 12, {0x4d, 0x00, 0x00, 0x25, 'I', 'D', 'A', 'T'});
    ExpectCases({
        // One deflate byte gives at most 1032 bytes of rows, each row its
        // filter byte and its pixels.
        {"4 x 4 RGBA in one byte", Png(4, 4, 8, 6, 1), 4, 4, ""},
        {"a row of 1031 grey pixels", Png(1031, 1, 8, 0, 1), 1031, 1, ""},
        {"a row of 1032", Png(1032, 1, 8, 0, 1), 1032, 1,
         "a PNG whose compressed data is too short for its 1032 x 1 pixels"},
        {"516 rows of 1 bit", Png(1, 516, 1, 0, 1), 1, 516, ""},
        {"517 rows of 1 bit", Png(1, 517, 1, 0, 1), 1, 517,
         "a PNG whose compressed data is too short for its 1 x 517 pixels"},
        {"16-bit RGBA counts 8 bytes a pixel", Png(128, 1, 16, 6, 1), 128, 1, ""},
        {"16-bit RGBA, one pixel more", Png(129, 1, 16, 6, 1), 129, 1,
         "a PNG whose compressed data is too short for its 129 x 1 pixels"},
        {"palette pixels of 1 bit", Png(8248, 1, 1, 3, 1), 8248, 1, ""},
        {"palette pixels of 1 bit, one more", Png(8249, 1, 1, 3, 1), 8249, 1,
         "a PNG whose compressed data is too short for its 8249 x 1 pixels"},
        {"32 x 31 grey in 1023 bytes", Png(32, 31, 8, 0, 1), 32, 31, ""},
        {"interlaced, in 1051", Png(32, 31, 8, 0, 1, 1), 32, 31,
         "a PNG whose compressed data is too short for its 32 x 31 pixels"},
        {"32 x 30 interlaced, in 1017", Png(32, 30, 8, 0, 1, 1), 32, 30, ""},
        {"no IDAT at all", Png(1, 1, 8, 0, 0), 1, 1, "a PNG whose compressed data is too short for its 1 x 1 pixels"},
        {"the last chunk one byte longer than the file", longChunk, 4, 4, kEnds},
        {"an IDAT of 1.3 GB in a small file", twoGiB, 16, 12, kEnds},
        {"IEND without its CRC", Cut(Png(4, 4, 8, 6, 10), 4), 4, 4, kEnds},
        {"IEND's CRC one byte short", Cut(Png(4, 4, 8, 6, 10), 1), 4, 4, kEnds},
        {"no IEND", Cut(Png(4, 4, 8, 6, 10), 12), 4, 4, kEnds},
        {"bytes after IEND", With(Png(4, 4, 8, 6, 10), {1, 2, 3}), 4, 4, ""},
    });
}

TEST(PictureSizeCheckTest, GifNeedsItsFirstImageWhole)
{
    const Data screen = {'G', 'I', 'F', '8', '9', 'a', 0x00, 0x20, 0x00, 0x20, 0x00, 0, 0};  // 8192 x 8192
    const Data coloured = {'G', 'I', 'F', '8', '7', 'a', 4, 0, 4, 0, 0x81, 0, 0};            // 4 colours follow
    const std::initializer_list<unsigned> image = {0x2c, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x4c, 0x01, 0};
    const std::initializer_list<unsigned> comment = {0x21, 0xfe, 3, 'a', 'b', 'c', 0};
    ExpectCases({
        {"an image", With(screen, image), 8192, 8192, ""},
        {"the image's last byte missing", Cut(With(screen, image), 1), 8192, 8192, kEnds},
        {"its data cut", Cut(With(screen, image), 2), 8192, 8192, kEnds},
        {"its descriptor cut", Cut(With(screen, image), 10), 8192, 8192, kEnds},
        {"no image but the trailer", With(screen, {0x3b}), 8192, 8192, "a GIF holding no picture"},
        {"nothing after the screen", screen, 8192, 8192, kEnds},
        {"a comment, then the image", With(With(screen, comment), image), 8192, 8192, ""},
        {"a comment, then the end", With(screen, comment), 8192, 8192, kEnds},
        {"a comment cut", Cut(With(screen, comment), 1), 8192, 8192, kEnds},
        {"a colour table, then the image", With(With(coloured, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}), image), 4, 4,
         ""},
        {"a colour table cut", With(coloured, {1, 2, 3, 4, 5}), 4, 4, kEnds},
        {"an unknown block: stb_image names it", With(screen, {0x99}), 8192, 8192, ""},
    });
}

namespace {

// SOI, a baseline frame of w x h whose components have the given sampling
// (0xHV each), a scan header, cbScan bytes of scan data, and EOI.
Data Jpeg(unsigned w, unsigned h, std::initializer_list<unsigned> sampling, size_t cbScan, bool bScan = true)
{
    Data jpeg = {0xff, 0xd8};
    const unsigned n = static_cast<unsigned>(sampling.size());
    Append(&jpeg, {0xff, 0xc0, 0, 8 + 3 * n, 8, h >> 8, h & 255, w >> 8, w & 255, n});
    unsigned id = 1;
    for (unsigned hv : sampling) Append(&jpeg, {id++, hv, 0});
    if (bScan) {
        Append(&jpeg, {0xff, 0xda, 0, 8, 1, 1, 0, 0, 63, 0});
        jpeg.insert(jpeg.end(), cbScan, 0x2a);
    }
    Append(&jpeg, {0xff, 0xd9});
    return jpeg;
}

}  // namespace

TEST(PictureSizeCheckTest, JpegScanDataGivesEveryBlockABit)
{
    // The scan's data counts from the scan header to the end of the file,
    // EOI's two bytes included.
    ExpectCases({
        {"64 blocks in 8 bytes", Jpeg(64, 64, {0x11}, 6), 64, 64, ""},
        {"64 blocks in 7 bytes", Jpeg(64, 64, {0x11}, 5), 64, 64, kEnds},
        {"4:2:0: 64 + 16 + 16 blocks in 12 bytes", Jpeg(64, 64, {0x22, 0x11, 0x11}, 10), 64, 64, ""},
        {"4:2:0 in 11 bytes", Jpeg(64, 64, {0x22, 0x11, 0x11}, 9), 64, 64, kEnds},
        {"a partial block counts whole", Jpeg(65, 8, {0x11}, 0), 65, 8, ""},
        {"17 blocks in 2 bytes", Jpeg(129, 8, {0x11}, 0), 129, 8, kEnds},
        {"no scan before EOI", Jpeg(8, 8, {0x11}, 0, false), 8, 8, kEnds},
        {"8192 x 8192 from a header", Cut(Jpeg(8192, 8192, {0x11, 0x11, 0x11}, 0, false), 2), 8192, 8192, kEnds},
        {"fill bytes before the frame",
         [] {
             Data d = Jpeg(64, 64, {0x11}, 5);
             d.insert(d.begin() + 2, {0x00, 0x17});
             return d;
         }(),
         64, 64, kEnds},
    });
}

namespace {

// An 18-byte TGA header of w x h, then cbRest bytes.
Data Tga(unsigned idLength, unsigned mapType, unsigned type, unsigned mapStart, unsigned mapLength, unsigned mapBits,
         unsigned w, unsigned h, unsigned bits, size_t cbRest)
{
    Data tga;
    Append(&tga, {idLength, mapType, type, mapStart & 255, mapStart >> 8, mapLength & 255, mapLength >> 8, mapBits});
    Append(&tga, {0, 0, 0, 0, w & 255, w >> 8, h & 255, h >> 8, bits, 0});
    tga.insert(tga.end(), cbRest, 0x81);
    return tga;
}

}  // namespace

TEST(PictureSizeCheckTest, TgaPixelsMustBeThere)
{
    ExpectCases({
        {"4 x 4 at 24 bits", Tga(0, 0, 2, 0, 0, 0, 4, 4, 24, 48), 4, 4, ""},
        {"one byte short", Tga(0, 0, 2, 0, 0, 0, 4, 4, 24, 47), 4, 4, kEnds},
        {"an identifier first", Tga(5, 0, 2, 0, 0, 0, 4, 4, 24, 53), 4, 4, ""},
        {"an identifier first, short", Tga(5, 0, 2, 0, 0, 0, 4, 4, 24, 52), 4, 4, kEnds},
        {"15-bit pixels take 2 bytes", Tga(0, 0, 2, 0, 0, 0, 4, 4, 15, 32), 4, 4, ""},
        {"grey, short", Tga(0, 0, 3, 0, 0, 0, 4, 4, 8, 15), 4, 4, kEnds},
        {"a colour map skipped from its start", Tga(0, 1, 1, 2, 16, 24, 4, 4, 8, 2 + 48 + 16), 4, 4, ""},
        {"a colour map, one byte short", Tga(0, 1, 1, 2, 16, 24, 4, 4, 8, 2 + 48 + 15), 4, 4, kEnds},
        {"a map not read when the type has none", Tga(0, 0, 2, 0, 16, 24, 4, 4, 24, 48), 4, 4, ""},
        {"run-length: 256 pixels in 2 packets", Tga(0, 0, 10, 0, 0, 0, 16, 16, 24, 8), 16, 16, ""},
        {"run-length: a byte short", Tga(0, 0, 10, 0, 0, 0, 16, 16, 24, 7), 16, 16, kEnds},
        {"run-length: 257 pixels need 3", Tga(0, 0, 10, 0, 0, 0, 257, 1, 32, 10), 257, 1, kEnds},
        {"8192 x 8192 from a header", Tga(0, 0, 10, 0, 0, 0, 8192, 8192, 32, 10), 8192, 8192, kEnds},
        {"a header cut", Data(17, 0), 1, 1, kEnds},
        {"an identifier of 255 bytes, no JPEG", Tga(255, 0, 2, 0, 0, 0, 4, 4, 24, 255 + 48), 4, 4, ""},
        {"and its pixels short", Tga(255, 0, 2, 0, 0, 0, 4, 4, 24, 255 + 47), 4, 4, kEnds},
    });
}

TEST(PictureSizeCheckTest, BmpIsLeftToItsOwnChecks)
{
    ExpectCases({{"a BMP header alone", {'B', 'M', 0, 0}, 8192, 8192, ""}});
}
