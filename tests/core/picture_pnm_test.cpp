// vbltool's binary PGM and PPM intake (LoadPicture): samples of 1 to 16 bits
// scaled to 8 as netpbm's pnmdepth rounds them, and a header that the file
// cannot fill refused before anything is allocated.
#include <string>

#include "picture_image.h"
#include "test_support.h"

namespace {

class PicturePnmTest : public ScratchDirTest {};

std::string Load(const std::string& file, RgbImage* pImage)
{
    WriteBytes("in.ppm", file);
    std::string reason;
    *pImage = {0, 0, {}};
    if (!LoadPicture("in.ppm", pImage, &reason)) return reason.empty() ? "(no reason)" : reason;
    return std::string();
}

std::string Samples16(std::initializer_list<unsigned> values)
{
    std::string bytes;
    for (unsigned v : values) {
        bytes += static_cast<char>(v >> 8);
        bytes += static_cast<char>(v & 0xff);
    }
    return bytes;
}

}  // namespace

TEST_F(PicturePnmTest, SamplesAreScaledToEightBitsRounded)
{
    struct Row {
        const char* what;
        std::string file;
        int width, height;
        std::vector<unsigned char> rgb;
    };
    const Row rows[] = {
        {"PPM 8 bits", std::string("P6\n2 1\n255\n") + "\x01\x02\x03\xfd\xfe\xff", 2, 1, {1, 2, 3, 253, 254, 255}},
        {"PGM 8 bits, grey to all three", std::string("P5 2 1 255\n\x00\x80", 13), 2, 1, {0, 0, 0, 128, 128, 128}},
        // 44387 x 255 / 65535 = 172.71: 173, where dropping the low byte gives 172.
        {"PPM 16 bits", "P6\n1 1\n65535\n" + Samples16({44387, 128, 65535}), 1, 1, {173, 0, 255}},
        {"PGM 16 bits", "P5\n1 2\n65535\n" + Samples16({257, 32896}), 1, 2, {1, 1, 1, 128, 128, 128}},
        // 1000: two bytes a sample; 500 / 1000 is 127.5, rounded up.
        {"PGM of maximum 1000", "P5 2 1 1000\n" + Samples16({500, 1000}), 2, 1, {128, 128, 128, 255, 255, 255}},
        {"PGM of maximum 15",
         std::string("P5 3 1 15\n\x00\x07\x0f", 13),
         3,
         1,
         {0, 0, 0, 119, 119, 119, 255, 255, 255}},
        {"PGM of maximum 1", std::string("P5 2 1 1\n\x01\x00", 11), 2, 1, {255, 255, 255, 0, 0, 0}},
        {"comments and blanks in the header",
         std::string("P5#a\n# 9 9\n\t1\r\n#x\n1 255\t") + "\x2a",
         1,
         1,
         {42, 42, 42}},
        {"the first of two pictures", std::string("P5 1 1 255\n") + "\x07" + "P5 1 1 255\n\x08", 1, 1, {7, 7, 7}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        RgbImage image;
        ASSERT_EQ(Load(row.file, &image), "");
        EXPECT_EQ(image.nWidth, row.width);
        EXPECT_EQ(image.nHeight, row.height);
        EXPECT_EQ(image.rgb, row.rgb);
    }
}

TEST_F(PicturePnmTest, RefusalsNameTheFault)
{
    struct Row {
        std::string file;
        const char* reason;
    };
    const Row rows[] = {
        {std::string("P6\n2 1\n255\n") + "\x01\x02\x03\xfd\xfe", "the file ends before the picture does"},
        {"P5 1 1 65535\n\x01", "the file ends before the picture does"},
        // Far more than the launcher takes, but the file could not hold it.
        {"P6 100000 100000 255\n", "the file ends before the picture does"},
        {"P6 999999999 999999999 65535\n", "the file ends before the picture does"},
        {"P6 10 10", "the file ends before the picture does"},
        {"P5 1 1 255", "the file ends before the picture does"},
        {"P6 1000000000 1 255\n", "a PGM or PPM picture whose header is damaged"},
        {"P6 1 x 255\n", "a PGM or PPM picture whose header is damaged"},
        {"P5 1 1 255x", "a PGM or PPM picture whose header is damaged"},
        {"P5 0 1 255\n", "the picture has no pixels"},
        {"P5 1 0 255\n", "the picture has no pixels"},
        {"P5 1 1 0\n\x00", "whose maximum value is not 1 to 65535"},
        {"P5 1 1 65536\n\x00\x00", "whose maximum value is not 1 to 65535"},
        {"P5 1 1 15\n\x10", "a PGM or PPM picture with a sample above its maximum value"},
        {"P5 1 1 1000\n" + Samples16({1001}), "a PGM or PPM picture with a sample above its maximum value"},
        {"P3\n1 1\n255\n1 2 3\n", "a plain (ASCII) PPM picture (P3), which vbltool cannot read"},
        {"P2\n1 1\n255\n1\n", "a plain (ASCII) PGM picture (P2), which vbltool cannot read"},
        {"P1\n1 1\n1\n", "a plain (ASCII) PBM picture (P1), which vbltool cannot read"},
        {"P4\n8 1\n\x55", "a PBM picture (P4), which vbltool cannot read"},
        {"P7\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 255\nENDHDR\n\x01", "a PAM picture (P7), which vbltool cannot read"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file.substr(0, 40));
        RgbImage image;
        const std::string reason = Load(row.file, &image);
        EXPECT_NE(reason.find(row.reason), std::string::npos) << reason;
    }
}
