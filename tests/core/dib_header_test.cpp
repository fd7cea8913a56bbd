// The DIB header readers: colour counts and pixel offsets for both header
// forms, and the bounds check that keeps the bitmap conversion inside its
// block, including on the blocks the PCX decoder really produces.
#include <climits>
#include <cstring>
#include <vector>

#include "preview/dib_header.h"
#include "preview/pcx_decoder.h"
#include "test_support.h"

namespace {

// A block of zeroed 32-bit words, so that header casts are aligned.
struct Block {
    std::vector<uint32_t> words;
    explicit Block(size_t cb) : words((cb + 3) / 4 + 1, 0) {}
    BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(words.data()); }
    const BYTE* Base() { return reinterpret_cast<const BYTE*>(words.data()); }
};

Block InfoHeader(WORD bits, DWORD clrUsed, LONG width = 4, LONG height = 2, DWORD size = 40)
{
    Block b(2048);
    BITMAPINFOHEADER& bih = b.Info()->bmiHeader;
    bih.biSize = size;
    bih.biWidth = width;
    bih.biHeight = height;
    bih.biPlanes = 1;
    bih.biBitCount = bits;
    bih.biCompression = BI_RGB;
    bih.biClrUsed = clrUsed;
    return b;
}

Block CoreHeader(WORD bits, WORD width = 4, WORD height = 2)
{
    Block b(2048);
    auto* pCore = reinterpret_cast<BITMAPCOREHEADER*>(b.Info());
    pCore->bcSize = 12;
    pCore->bcWidth = width;
    pCore->bcHeight = height;
    pCore->bcPlanes = 1;
    pCore->bcBitCount = bits;
    return b;
}

ptrdiff_t BitsAt(Block& b)
{
    return DIBitmapBits(b.Info()) - b.Base();
}

struct Layout {
    WORD bits;
    DWORD clrUsed;
    int colours;
    ptrdiff_t bitsAt;
};

}  // namespace

TEST(DibHeaderTest, InfoHeaderColoursAndPixelOffsets)
{
    const Layout cases[] = {
        {8, 0, 256, 1064},
        {8, 16, 16, 104},
        {8, 300, 300, 1240},  // used count wins, even above 256
        {4, 0, 16, 104},
        {1, 0, 2, 48},
        {1, 2, 2, 48},
        {24, 0, 0, 40},
        {16, 0, 0, 40},
        {32, 0, 0, 40},
        {2, 0, 0, 40},
        {24, 16, 16, 104},  // entries named by the header are skipped even without
                            // a need for them
        {0, 0, 0, 40},
        {3, 0, 0, 40},
    };
    for (const Layout& c : cases) {
        Block b = InfoHeader(c.bits, c.clrUsed);
        EXPECT_EQ(DIBitmapColors(b.Info()), c.colours) << c.bits << " bits, " << c.clrUsed << " used";
        EXPECT_EQ(BitsAt(b), c.bitsAt) << c.bits << " bits, " << c.clrUsed << " used";
    }
    // A larger header (here 108 bytes) is read as the 40-byte one, and the
    // table starts behind the whole of it.
    Block v4 = InfoHeader(8, 0, 4, 2, 108);
    EXPECT_EQ(DIBitmapColors(v4.Info()), 256);
    EXPECT_EQ(BitsAt(v4), 108 + 1024);
}

TEST(DibHeaderTest, CoreHeaderCountsThreeByteEntriesFromItsBitCount)
{
    const Layout cases[] = {{8, 0, 256, 780}, {4, 0, 16, 60}, {1, 0, 2, 18}, {24, 0, 0, 12}};
    for (const Layout& c : cases) {
        Block b = CoreHeader(c.bits);
        // Bytes after the 12-byte header, where a 40-byte header has its bit
        // count and used-colour count, play no part.
        BYTE* p = reinterpret_cast<BYTE*>(b.Info());
        p[14] = 8;
        p[32] = 7;
        EXPECT_EQ(DIBitmapColors(b.Info()), c.colours) << c.bits;
        EXPECT_EQ(BitsAt(b), c.bitsAt) << c.bits;
    }
}

TEST(DibHeaderTest, UsedCountBeyondIntDoesNotTurnNegative)
{
    Block b = InfoHeader(8, 0xFFFFFFFFu);
    EXPECT_EQ(DIBitmapColors(b.Info()), INT_MAX);
    // 40 + 4 * (2^32 - 1) bytes: no address in any build, never a wrapped one.
    EXPECT_EQ(DIBitmapBits(b.Info()), nullptr);
    EXPECT_FALSE(DIBitmapFitsBlock(b.Info(), 2048));
}

TEST(DibHeaderTest, FitsOnlyWhenTableAndEveryRowLieInsideTheBlock)
{
    // 8 bits, 401 x 3: rows of 404 bytes after 40 + 1024 bytes.
    Block b = InfoHeader(8, 0, 401, 3);
    const SIZE_T cbExact = 1064 + 404 * 3;
    EXPECT_TRUE(DIBitmapFitsBlock(b.Info(), cbExact));
    EXPECT_FALSE(DIBitmapFitsBlock(b.Info(), cbExact - 1));
    // The same rows stored top-down.
    b.Info()->bmiHeader.biHeight = -3;
    EXPECT_TRUE(DIBitmapFitsBlock(b.Info(), cbExact));
    EXPECT_FALSE(DIBitmapFitsBlock(b.Info(), cbExact - 1));
    b.Info()->bmiHeader.biHeight = 3;
    // biSizeImage does not shrink what is read: the rows are.
    b.Info()->bmiHeader.biSizeImage = 4;
    EXPECT_FALSE(DIBitmapFitsBlock(b.Info(), 1064 + 4));

    // A used count above what the block holds pushes the rows past its end.
    Block many = InfoHeader(8, 300, 4, 2);
    EXPECT_TRUE(DIBitmapFitsBlock(many.Info(), 40 + 1200 + 8));
    EXPECT_FALSE(DIBitmapFitsBlock(many.Info(), 40 + 1024 + 8));

    // Strides: 1 bit x 33 -> 8 bytes; 4 bits x 9 -> 8 bytes; 24 bits x 5 -> 16.
    Block mono = InfoHeader(1, 0, 33, 1);
    EXPECT_TRUE(DIBitmapFitsBlock(mono.Info(), 48 + 8));
    EXPECT_FALSE(DIBitmapFitsBlock(mono.Info(), 48 + 7));
    Block nibble = InfoHeader(4, 0, 9, 1);
    EXPECT_TRUE(DIBitmapFitsBlock(nibble.Info(), 104 + 8));
    EXPECT_FALSE(DIBitmapFitsBlock(nibble.Info(), 104 + 7));
    Block rgb = InfoHeader(24, 0, 5, 2);
    EXPECT_TRUE(DIBitmapFitsBlock(rgb.Info(), 40 + 32));
    EXPECT_FALSE(DIBitmapFitsBlock(rgb.Info(), 40 + 31));

    // Core form: 8 bits, 5 x 2, rows of 8 bytes after 12 + 768.
    Block core = CoreHeader(8, 5, 2);
    EXPECT_TRUE(DIBitmapFitsBlock(core.Info(), 780 + 16));
    EXPECT_FALSE(DIBitmapFitsBlock(core.Info(), 780 + 15));
}

TEST(DibHeaderTest, RefusesHeadersThatCannotBeBoundedOrRead)
{
    const SIZE_T cbLarge = 1 << 20;
    struct Bad {
        const char* what;
        void (*spoil)(BITMAPINFOHEADER*);
    };
    const Bad cases[] = {
        {"zero width", [](BITMAPINFOHEADER* p) { p->biWidth = 0; }},
        {"negative width", [](BITMAPINFOHEADER* p) { p->biWidth = -4; }},
        {"zero height", [](BITMAPINFOHEADER* p) { p->biHeight = 0; }},
        {"run-length pixels", [](BITMAPINFOHEADER* p) { p->biCompression = 1; }},
        {"bit-field pixels", [](BITMAPINFOHEADER* p) { p->biCompression = 3; }},
        {"bit count 0", [](BITMAPINFOHEADER* p) { p->biBitCount = 0; }},
        {"bit count 3", [](BITMAPINFOHEADER* p) { p->biBitCount = 3; }},
        {"header of 16 bytes", [](BITMAPINFOHEADER* p) { p->biSize = 16; }},
        {"header larger than the block", [](BITMAPINFOHEADER* p) { p->biSize = (1 << 20) + 4; }},
        {"rows that overflow 64 bits",
         [](BITMAPINFOHEADER* p) {
             p->biWidth = 0x7FFFFFFF;
             p->biHeight = -0x7FFFFFFF - 1;
             p->biBitCount = 32;
         }},
    };
    for (const Bad& c : cases) {
        Block b = InfoHeader(8, 0, 4, 2);
        ASSERT_TRUE(DIBitmapFitsBlock(b.Info(), cbLarge));
        c.spoil(&b.Info()->bmiHeader);
        EXPECT_FALSE(DIBitmapFitsBlock(b.Info(), cbLarge)) << c.what;
    }
    // Blocks too small to hold the header they start with.
    Block info = InfoHeader(24, 0, 1, 1);
    EXPECT_FALSE(DIBitmapFitsBlock(info.Info(), 3));
    EXPECT_FALSE(DIBitmapFitsBlock(info.Info(), 39));
    Block core = CoreHeader(24, 1, 1);
    EXPECT_FALSE(DIBitmapFitsBlock(core.Info(), 11));
    EXPECT_TRUE(DIBitmapFitsBlock(core.Info(), 16));
    Block emptyCore = CoreHeader(24, 0, 1);
    EXPECT_FALSE(DIBitmapFitsBlock(emptyCore.Info(), cbLarge));
}

// The decoder's blocks must be readable through these helpers as they are:
// the table where DIBitmapColors counts it, every row inside the block.
class DibHeaderOnDecodedTest : public ScratchDirTest {};

TEST_F(DibHeaderOnDecodedTest, DecodedBlocksFitAndPixelsStartWhereTheDecoderPutThem)
{
    struct Case {
        const char* what;
        int bits, planes, width, height;
        bool trailer, blackTrailer;
    };
    const Case cases[] = {
        {"8-bit with palette trailer", 8, 1, 401, 3, true, false},
        {"8-bit with an all-black trailer", 8, 1, 17, 3, true, true},
        {"8-bit without trailer", 8, 1, 9, 2, false, false},
        {"monochrome", 1, 1, 33, 2, false, false},
        {"4 planes of 1 bit", 1, 4, 9, 2, false, false},
        {"3 planes of 1 bit", 1, 3, 9, 2, false, false},
    };
    for (const Case& c : cases) {
        const int bpl = (c.width * c.bits + 15) / 16 * 2;
        const PcxFields f = PcxShape(c.bits, c.planes, c.width, c.height, bpl);
        Bytes decoded(size_t(bpl) * c.planes * c.height, 0x5A);
        decoded[0] = 0xC3;  // the top-left byte, to be found through DIBitmapBits
        Bytes pal = c.blackTrailer ? Bytes(768, 0) : RampPalette768();
        const Bytes file = PcxFile(f, decoded, c.trailer ? &pal : nullptr);
        WriteBytes("level.pcx", AsString(file));
        HGLOBAL hDib = ReadPcxFile(OpenForReading("level.pcx"), 0, static_cast<LONG>(file.size()));
        ASSERT_NE(hDib, nullptr) << c.what;
        const SIZE_T cbBlock = GlobalSize(hDib);
        const auto* lpbi = static_cast<const BITMAPINFO*>(GlobalLock(hDib));
        ASSERT_NE(lpbi, nullptr) << c.what;
        EXPECT_TRUE(DIBitmapFitsBlock(lpbi, cbBlock)) << c.what;
        if (c.planes == 1) {
            // The top scan line is the last row of the pixel area.
            const LONG h = lpbi->bmiHeader.biHeight;
            const size_t cbStride = lpbi->bmiHeader.biSizeImage / static_cast<size_t>(h);
            const BYTE* pTopRow = DIBitmapBits(lpbi) + cbStride * static_cast<size_t>(h - 1);
            ASSERT_LE(pTopRow + cbStride, reinterpret_cast<const BYTE*>(lpbi) + cbBlock) << c.what;
            EXPECT_EQ(pTopRow[0], 0xC3) << c.what;
        }
        GlobalUnlock(hDib);
        GlobalFree(hDib);
    }
}
