// vbltool's BMP intake (LoadPicture): every layout stb_image reads gives the
// same pixels as its plain bottom-up twin, and every other header is refused
// with a reason that names the field at fault.
#include <cstring>
#include <string>

#include "picture_image.h"
#include "test_support.h"

namespace {

class PictureBmpTest : public ScratchDirTest {};

// A BMP's fields, and how its pixels and colour table are laid out.
struct BmpShape {
    uint32_t header = 40;
    int32_t width = 5;
    int32_t height = 3;  // rows of the picture; stored negative when topDown
    uint16_t planes = 1;
    uint16_t bits = 8;
    uint32_t compression = 0;
    bool topDown = false;
    uint32_t masks[4] = {0, 0, 0, 0};  // BI_BITFIELDS: after a 40-byte header, inside larger ones
    uint32_t gap = 0;                  // bytes between the colour table and the pixels
    int64_t pixelsAt = -1;             // bfOffBits when set, else where the pixels are
    size_t keep = 0;                   // when set, the file's first bytes only
};

void Put16(Bytes* p, uint32_t v)
{
    p->push_back(static_cast<uint8_t>(v));
    p->push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes* p, uint32_t v)
{
    Put16(p, v & 0xffff);
    Put16(p, v >> 16);
}

// The picture's rows top row first; each byte a function of its place, so
// that rows swapped or shifted show.
Bytes RowBytes(const BmpShape& s, int32_t row)
{
    const size_t stride = (static_cast<size_t>(s.width) * s.bits + 31) / 32 * 4;
    Bytes bytes(stride);
    for (size_t i = 0; i < stride; ++i) bytes[i] = static_cast<uint8_t>(i * 29 + row * 71 + 5);
    return bytes;
}

Bytes MakeBmp(const BmpShape& s)
{
    Bytes info;
    Put32(&info, s.header);
    if (s.header == 12) {
        Put16(&info, static_cast<uint32_t>(s.width));
        Put16(&info, static_cast<uint32_t>(s.height));
    } else {
        Put32(&info, static_cast<uint32_t>(s.width));
        Put32(&info, static_cast<uint32_t>(s.topDown ? -s.height : s.height));
    }
    Put16(&info, s.planes);
    Put16(&info, s.bits);
    if (s.header > 16) {
        Put32(&info, s.compression);
        for (int i = 0; i < 5; ++i) Put32(&info, 0);  // image size, resolutions, colours used and important
    }
    if (s.header >= 108) {
        for (uint32_t m : s.masks) Put32(&info, m);
    }
    info.resize(s.header, 0);
    if (s.header == 40 && s.compression == 3) {
        for (int i = 0; i < 3; ++i) Put32(&info, s.masks[i]);
    }
    const size_t entry = s.header == 12 ? 3 : 4;
    if (s.bits <= 8) {
        for (uint32_t i = 0; i < (1u << s.bits); ++i) {
            const uint8_t bgr[4] = {static_cast<uint8_t>(i * 37), static_cast<uint8_t>(255 - i),
                                    static_cast<uint8_t>(i * 91 + 3), 0};
            info.insert(info.end(), bgr, bgr + entry);
        }
    }
    info.resize(info.size() + s.gap, 0xee);
    const uint32_t at = static_cast<uint32_t>(s.pixelsAt >= 0 ? s.pixelsAt : 14 + info.size());
    Bytes file = {'B', 'M'};
    Put32(&file, 0);
    Put32(&file, 0);
    Put32(&file, at);
    file.insert(file.end(), info.begin(), info.end());
    for (int32_t r = 0; r < s.height; ++r) {
        const Bytes row = RowBytes(s, s.topDown ? r : s.height - 1 - r);
        file.insert(file.end(), row.begin(), row.end());
    }
    PutLe32(&file, 2, static_cast<uint32_t>(file.size()));
    if (s.keep) file.resize(s.keep);
    return file;
}

// LoadPicture on the bytes as a file: empty and the picture, or the reason.
std::string Load(const Bytes& file, RgbImage* pImage)
{
    WriteBytes("in.bmp", AsString(file));
    std::string reason;
    *pImage = {0, 0, {}};
    if (!LoadPicture("in.bmp", pImage, &reason)) return reason.empty() ? "(no reason)" : reason;
    return std::string();
}

BmpShape Shape(uint32_t header, uint16_t bits, uint32_t compression = 0)
{
    BmpShape s;
    s.header = header;
    s.bits = bits;
    s.compression = compression;
    return s;
}

BmpShape WithMasks(BmpShape s, uint32_t r, uint32_t g, uint32_t b, uint32_t a = 0)
{
    s.masks[0] = r;
    s.masks[1] = g;
    s.masks[2] = b;
    s.masks[3] = a;
    return s;
}

}  // namespace

// Each layout is read, and as its plain twin is: a bottom-up uncompressed
// file with a 40-byte header (same colours, same bytes a pixel) and nothing
// between the colour table and the pixels.
TEST_F(PictureBmpTest, EveryLayoutGivesThePixelsOfItsPlainTwin)
{
    struct Row {
        const char* what;
        BmpShape shape;
        BmpShape twin;
    };
    const auto TopDown = [](BmpShape s) {
        s.topDown = true;
        return s;
    };
    const auto Gap = [](BmpShape s, uint32_t gap) {
        s.gap = gap;
        return s;
    };
    const auto Sized = [](BmpShape s, int32_t width, int32_t height) {
        s.width = width;
        s.height = height;
        return s;
    };
    const BmpShape rgb565 = WithMasks(Shape(40, 16, 3), 0xf800, 0x07e0, 0x001f);
    const BmpShape rgba = WithMasks(Shape(124, 32, 3), 0xff0000, 0xff00, 0xff, 0xff000000);
    const Row rows[] = {
        {"top-down 1 bit", TopDown(Shape(40, 1)), Shape(40, 1)},
        {"top-down 4 bits", TopDown(Shape(40, 4)), Shape(40, 4)},
        {"top-down 8 bits", TopDown(Shape(40, 8)), Shape(40, 8)},
        {"top-down 16 bits", TopDown(Shape(40, 16)), Shape(40, 16)},
        {"top-down 24 bits", TopDown(Shape(40, 24)), Shape(40, 24)},
        {"top-down 32 bits", TopDown(Shape(40, 32)), Shape(40, 32)},
        {"top-down 8 bits, 124-byte header", TopDown(Shape(124, 8)), Shape(40, 8)},
        {"top-down 24 bits, 108-byte header", TopDown(Shape(108, 24)), Shape(40, 24)},
        {"top-down 565", TopDown(rgb565), rgb565},
        {"top-down 32 bits with alpha", TopDown(rgba), rgba},
        {"1 x 40000 core header", Sized(Shape(12, 8), 1, 40000), Sized(Shape(40, 8), 1, 40000)},
        {"core header 24 bits", Shape(12, 24), Shape(40, 24)},
        {"24 bits, bytes before the pixels", Gap(Shape(40, 24), 1024), Shape(40, 24)},
        {"565, bytes before the pixels", Gap(rgb565, 3), rgb565},
        {"top-down 32 bits, bytes before the pixels", TopDown(Gap(Shape(124, 32), 8)), Shape(40, 32)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        RgbImage twin, image;
        ASSERT_EQ(Load(MakeBmp(row.twin), &twin), "");
        ASSERT_EQ(Load(MakeBmp(row.shape), &image), "");
        EXPECT_EQ(image.nWidth, row.shape.width);
        EXPECT_EQ(image.nHeight, row.shape.height);
        EXPECT_TRUE(image.rgb == twin.rgb);
    }
}

// The naming table: each header field in turn, for every header size.
TEST_F(PictureBmpTest, EveryRefusalNamesTheFieldAtFault)
{
    struct Row {
        BmpShape shape;
        const char* reason;
    };
    const auto Planes = [](BmpShape s, uint16_t planes) {
        s.planes = planes;
        return s;
    };
    const auto TopDown = [](BmpShape s) {
        s.topDown = true;
        return s;
    };
    const auto PixelsAt = [](BmpShape s, int64_t at, size_t keep = 0) {
        s.pixelsAt = at;
        s.keep = keep;
        return s;
    };
    const auto Keep = [](BmpShape s, size_t keep) {
        s.keep = keep;
        return s;
    };
    const char* const save = ", which vbltool cannot read: save it as PNG";
    const Row rows[] = {
        {Shape(12, 16), "an OS/2 1.x BMP at 16 bits per pixel"},
        {Shape(12, 32), "an OS/2 1.x BMP at 32 bits per pixel"},
        {Planes(Shape(12, 8), 3), "a BMP of 3 planes, where the format has 1"},
        {Shape(16, 8), "an OS/2 2.x BMP (a header of 16 bytes)"},
        {Shape(64, 8), "an OS/2 2.x BMP (a header of 64 bytes)"},
        {Shape(64, 8, 1), "an OS/2 2.x BMP (a header of 64 bytes) with run-length compression (RLE8)"},
        {Shape(64, 4, 2), "an OS/2 2.x BMP (a header of 64 bytes) with run-length compression (RLE4)"},
        {Shape(64, 1, 3), "an OS/2 2.x BMP (a header of 64 bytes) compressed with Huffman 1D"},
        {Shape(64, 24, 4), "an OS/2 2.x BMP (a header of 64 bytes) compressed with RLE24"},
        {Shape(64, 24, 9), "an OS/2 2.x BMP of compression type 9"},
        {Planes(Shape(64, 24, 4), 2), "a BMP of 2 planes"},
        {Shape(52, 24), "a BMP with a header of 52 bytes (BITMAPV2INFOHEADER)"},
        {Shape(20, 24), "a BMP with a header of 20 bytes"},
        {Shape(200, 24), "a BMP with a header of 200 bytes"},
        {Planes(Shape(40, 8, 1), 2), "a BMP of 2 planes, where the format has 1"},
        {Planes(Shape(124, 24), 0), "a BMP of 0 planes, where the format has 1"},
        {Shape(40, 24, 4), "a BMP holding a JPEG (BI_JPEG)"},
        {Shape(108, 24, 5), "a BMP holding a PNG (BI_PNG)"},
        {Shape(40, 32, 6), "a BMP of compression type 6"},
        {Shape(124, 32, 11), "a BMP of compression type 11"},
        {Shape(40, 2), "a BMP at 2 bits per pixel"},
        {Shape(56, 0), "a BMP at 0 bits per pixel"},
        {Shape(40, 48, 3), "a BMP at 48 bits per pixel"},
        {Shape(40, 4, 1), "a BMP whose run-length compression (BI_RLE8) is at 4 bits per pixel"},
        {Shape(40, 8, 2), "a BMP whose run-length compression (BI_RLE4) is at 8 bits per pixel"},
        {TopDown(Shape(40, 8, 1)), "a top-down BMP with run-length compression (BI_RLE8)"},
        {TopDown(Shape(108, 4, 2)), "a top-down BMP with run-length compression (BI_RLE4)"},
        {Shape(40, 24, 3), "a BMP with colour masks (BI_BITFIELDS) at 24 bits per pixel"},
        {Shape(124, 8, 3), "a BMP with colour masks (BI_BITFIELDS) at 8 bits per pixel"},
        {WithMasks(Shape(40, 16, 3), 0xf800, 0, 0x1f), "a BMP with an empty colour mask (BI_BITFIELDS)"},
        {WithMasks(Shape(40, 32, 3), 0xff, 0xff, 0xff), "a BMP whose colour masks (BI_BITFIELDS) are all the same"},
        {WithMasks(Shape(40, 32, 3), 0x3ff00000, 0xffc00, 0x3ff), "a colour mask of more than 8 bits (BI_BITFIELDS)"},
        {WithMasks(Shape(124, 32, 3), 0xff0000, 0xff00, 0xff, 0xff800000), "a colour mask of more than 8 bits"},
        {WithMasks(Shape(56, 16, 3), 0xf800, 0x7e0, 0x1f), "a BMP with a header of 56 bytes and colour masks"},
        {Keep(Shape(124, 24), 14 + 20), "a BMP cut off inside its header"},
        {Keep(Shape(16, 24), 14 + 12), "a BMP cut off inside its header"},
        {Keep(WithMasks(Shape(40, 16, 3), 0xf800, 0x7e0, 0x1f), 14 + 48), "a BMP cut off inside its header"},
        {PixelsAt(Shape(40, 8), 1 << 20), "the file ends before the picture does, inside its colour table"},
        {PixelsAt(Shape(12, 1), 1 << 20), "the file ends before the picture does, inside its colour table"},
        {PixelsAt(Shape(40, 24), 14 + 30), "a BMP whose pixels start inside its header"},
        {PixelsAt(Shape(124, 24), 1 << 20), "the file ends before the picture does"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reason);
        RgbImage image;
        const std::string reason = Load(MakeBmp(row.shape), &image);
        EXPECT_NE(reason.find(row.reason), std::string::npos) << reason;
        // A damaged file is not a variant that another format would mend.
        bool damaged = false;
        for (const char* prefix : {"a BMP cut", "the file", "a BMP whose pixels"})
            damaged |= strncmp(row.reason, prefix, strlen(prefix)) == 0;
        EXPECT_EQ(reason.find(save) == std::string::npos, damaged) << reason;
    }
}

// Whatever the header size, depth, compression and row order, a BMP is read
// or refused by a reason of its own: never stb_image's word, never a header
// called damaged that is whole.
TEST_F(PictureBmpTest, NoHeaderFallsThroughToAGenericReason)
{
    int read = 0;
    for (uint32_t header : {12u, 16u, 40u, 52u, 56u, 64u, 108u, 124u}) {
        for (uint16_t bits : {0, 1, 2, 4, 8, 16, 24, 32}) {
            for (uint32_t compression = 0; compression <= 6; ++compression) {
                for (bool topDown : {false, true}) {
                    BmpShape s = WithMasks(Shape(header, bits, compression), 0xff0000, 0xff00, 0xff);
                    s.topDown = topDown && header != 12;
                    RgbImage image;
                    const std::string reason = Load(MakeBmp(s), &image);
                    SCOPED_TRACE(testing::Message() << header << "-byte header, " << bits << " bits, compression "
                                                    << compression << (topDown ? ", top-down" : ""));
                    EXPECT_EQ(reason.find("damaged"), std::string::npos) << reason;
                    EXPECT_EQ(reason.find("cannot decode"), std::string::npos) << reason;
                    read += reason.empty();
                }
            }
        }
    }
    EXPECT_GT(read, 40);
}
