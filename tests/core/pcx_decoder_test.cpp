// The PCX decoder: layouts, palettes, strides, run-length items, and the
// refusal of hostile or broken entries without leaks or stray writes.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "preview/pcx_decoder.h"
#include "test_support.h"

namespace {

class PcxDecoderTest : public ScratchDirTest {};

// Decodes the bytes as a bare PCX file; also checks that the file was closed
// and nothing but the result is left allocated.
HGLOBAL DecodeBytes(const Bytes& file, PictureRefusal* pRefusal = nullptr)
{
    WriteBytes("entry.pcx", AsString(file));
    long lBlocks = LiveBlocks();
    HFILE hFile = OpenForReading("entry.pcx");
    EXPECT_NE(hFile, HFILE_ERROR);
    PictureRefusal eRefusal = kPictureMade;
    HGLOBAL hDib = ReadPcxFileWithReason(hFile, 0, static_cast<LONG>(file.size()), &eRefusal);
    EXPECT_TRUE(AllFilesClosed("entry.pcx"));
    if (lBlocks >= 0) {
        EXPECT_EQ(LiveBlocks(), lBlocks + (hDib ? 1 : 0));
    }
    EXPECT_EQ(hDib == nullptr, eRefusal != kPictureMade);
    if (pRefusal) *pRefusal = eRefusal;
    return hDib;
}

// Decoded bytes that differ from line to line and from byte to byte, with
// values above 191 so that runs are exercised.
Bytes Pattern(size_t n, unsigned seed)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>((i * 37 + seed * 11 + (i / 7) * 3) & 0xFF);
    return b;
}

bool SameColour(const RGBQUAD& q, uint8_t r, uint8_t g, uint8_t b)
{
    return q.rgbRed == r && q.rgbGreen == g && q.rgbBlue == b && q.rgbReserved == 0;
}

// The colours shown for a file without a palette, red, green, blue: written
// out here rather than read from the decoder's table, so that a changed entry
// shows.
const uint8_t kDefaultColours[16][3] = {
    {0x00, 0x00, 0x00}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
    {0xFF, 0x55, 0x55}, {0x55, 0x55, 0x55}, {0x00, 0xAA, 0x00}, {0x00, 0x00, 0xAA},
    {0xFF, 0xFF, 0x55}, {0xFF, 0x55, 0xFF}, {0x55, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
};

void ExpectDefaultPalette(const DibView& v)
{
    ASSERT_LE(v.colours.size(), 16u);
    for (size_t k = 0; k < v.colours.size(); ++k) {
        const uint8_t* c = kDefaultColours[k];
        EXPECT_TRUE(SameColour(v.colours[k], c[0], c[1], c[2])) << "entry " << k;
    }
}

}  // namespace

TEST_F(PcxDecoderTest, EightBitWithTrailerCopiesLinesBottomUp)
{
    // 401 pixels: rows of 404 bytes. Bytes per line 402: the extra byte lands
    // in the row's padding, as the file says, and nowhere else.
    const int w = 401, h = 5, bpl = 402;
    Bytes decoded = Pattern(size_t{bpl} * h, 1);
    Bytes pal = RampPalette768();
    DibView v = TakeDib(DecodeBytes(PcxFile(PcxShape(8, 1, w, h, bpl), decoded, &pal)));
    EXPECT_EQ(v.bih.biWidth, w);
    EXPECT_EQ(v.bih.biHeight, h);
    EXPECT_EQ(v.bih.biPlanes, 1);
    EXPECT_EQ(v.bih.biBitCount, 8);
    EXPECT_EQ(v.bih.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(v.bih.biClrUsed, 256u);
    EXPECT_EQ(v.bih.biClrImportant, 256u);
    ASSERT_EQ(v.cbStride, 404u);
    EXPECT_EQ(v.bih.biSizeImage, 404u * h);
    for (int k = 0; k < 256; ++k) ASSERT_TRUE(SameColour(v.colours[k], pal[3 * k], pal[3 * k + 1], pal[3 * k + 2]));
    for (int r = 0; r < h; ++r) {
        const uint8_t* row = v.TopRow(r);
        EXPECT_EQ(memcmp(row, &decoded[size_t{bpl} * r], bpl), 0) << "scan line " << r;
        EXPECT_EQ(row[402], 0);
        EXPECT_EQ(row[403], 0);
    }
}

TEST_F(PcxDecoderTest, TrailerWithOtherMarkerFallsBackToHeaderPalette)
{
    Bytes decoded = Pattern(8 * 2, 2);
    Bytes pal = RampPalette768();
    PcxFields f = PcxShape(8, 1, 8, 2, 8);
    for (int i = 0; i < 48; ++i) f.palette[i] = static_cast<uint8_t>(200 - i);
    Bytes file = PcxFile(f, decoded, &pal);
    file[file.size() - 769] = 11;
    DibView v = TakeDib(DecodeBytes(file));
    ASSERT_EQ(v.bih.biClrUsed, 16u);
    EXPECT_EQ(v.bih.biBitCount, 8);
    for (int k = 0; k < 16; ++k)
        EXPECT_TRUE(SameColour(v.colours[k], f.palette[3 * k], f.palette[3 * k + 1], f.palette[3 * k + 2]));

    // The same with an all-black header palette: the 16 default colours.
    memset(f.palette, 0, sizeof(f.palette));
    file = PcxFile(f, decoded, &pal);
    file[file.size() - 769] = 11;
    v = TakeDib(DecodeBytes(file));
    ASSERT_EQ(v.bih.biClrUsed, 16u);
    ExpectDefaultPalette(v);
}

TEST_F(PcxDecoderTest, VersionDecidesWhetherTheHeaderPaletteCounts)
{
    PcxFields f = PcxShape(4, 1, 4, 1, 2);
    for (int i = 0; i < 48; ++i) f.palette[i] = static_cast<uint8_t>(i + 1);
    Bytes decoded = {0x01, 0x23};
    for (int version : {0, 1, 2, 3, 4, 5}) {
        f.version = static_cast<uint8_t>(version);
        DibView v = TakeDib(DecodeBytes(PcxFile(f, decoded)));
        ASSERT_EQ(v.bih.biClrUsed, 16u) << "version " << version;
        if (version == 0 || version == 1 || version == 3) {
            ExpectDefaultPalette(v);
        } else {
            for (int k = 0; k < 16; ++k) {
                EXPECT_TRUE(SameColour(v.colours[k], f.palette[3 * k], f.palette[3 * k + 1], f.palette[3 * k + 2]))
                    << "version " << version << " entry " << k;
            }
        }
    }
    // One non-black component anywhere makes a version-2 or 4 palette present;
    // none at all makes it absent.
    memset(f.palette, 0, sizeof(f.palette));
    f.palette[47] = 1;
    for (int version : {2, 4}) {
        f.version = static_cast<uint8_t>(version);
        DibView v = TakeDib(DecodeBytes(PcxFile(f, decoded)));
        EXPECT_TRUE(SameColour(v.colours[15], 0, 0, 1));
        EXPECT_TRUE(SameColour(v.colours[1], 0, 0, 0));
    }
    f.palette[47] = 0;
    f.version = 4;
    ExpectDefaultPalette(TakeDib(DecodeBytes(PcxFile(f, decoded))));
}

TEST_F(PcxDecoderTest, MonochromeLayoutsAndTheirPalettes)
{
    // 33 pixels of 1 bit: rows of 8 bytes. Without a palette: black and red.
    PcxFields f = PcxShape(1, 1, 33, 3, 6);
    f.version = 3;
    Bytes decoded = Pattern(6 * 3, 3);
    DibView v = TakeDib(DecodeBytes(PcxFile(f, decoded)));
    EXPECT_EQ(v.bih.biBitCount, 1);
    ASSERT_EQ(v.bih.biClrUsed, 2u);
    EXPECT_TRUE(SameColour(v.colours[0], 0, 0, 0));
    EXPECT_TRUE(SameColour(v.colours[1], 0xFF, 0, 0));
    ASSERT_EQ(v.cbStride, 8u);
    for (int r = 0; r < 3; ++r) EXPECT_EQ(memcmp(v.TopRow(r), &decoded[6 * r], 6), 0);

    f.version = 5;
    f.palette[3] = 0xFF, f.palette[4] = 0xFF, f.palette[5] = 0xFF;
    v = TakeDib(DecodeBytes(PcxFile(f, decoded)));
    EXPECT_TRUE(SameColour(v.colours[0], 0, 0, 0));
    EXPECT_TRUE(SameColour(v.colours[1], 0xFF, 0xFF, 0xFF));
}

TEST_F(PcxDecoderTest, FourBitStrideAndPixels)
{
    // 9 pixels of 4 bits: 5 bytes of data, rows of 8.
    Bytes decoded = {0x12, 0x34, 0x56, 0x78, 0x90, 0xAB, 0xCD, 0xEF, 0x01, 0x20};
    DibView v = TakeDib(DecodeBytes(PcxFile(PcxShape(4, 1, 9, 2, 5), decoded)));
    EXPECT_EQ(v.bih.biBitCount, 4);
    ASSERT_EQ(v.cbStride, 8u);
    EXPECT_EQ(memcmp(v.TopRow(0), &decoded[0], 5), 0);
    EXPECT_EQ(memcmp(v.TopRow(1), &decoded[5], 5), 0);
}

// Pixel value of planar data, bit p from plane p: the format's definition,
// computed pixel by pixel.
int PlanarPixel(const Bytes& line, int bpl, int planes, int x)
{
    int value = 0;
    for (int p = 0; p < planes; ++p) {
        if (line[p * bpl + x / 8] & (0x80 >> (x % 8))) value |= 1 << p;
    }
    return value;
}

int Nibble(const uint8_t* row, int x)
{
    return x % 2 ? row[x / 2] & 0x0F : row[x / 2] >> 4;
}

TEST_F(PcxDecoderTest, PlanesOfOneBitMergeIntoFourBitPixels)
{
    for (int planes : {3, 4}) {
        const int w = 21, h = 4, bpl = 4;  // bpl wider than the 3 bytes the width needs
        Bytes decoded = Pattern(size_t{bpl} * planes * h, static_cast<unsigned>(planes));
        PcxFields f = PcxShape(1, planes, w, h, bpl);
        f.palette[0] = 1;
        DibView v = TakeDib(DecodeBytes(PcxFile(f, decoded)));
        EXPECT_EQ(v.bih.biBitCount, 4) << planes;
        EXPECT_EQ(v.bih.biClrUsed, 16u);
        ASSERT_EQ(v.cbStride, 12u);
        for (int r = 0; r < h; ++r) {
            Bytes line(decoded.begin() + r * bpl * planes, decoded.begin() + (r + 1) * bpl * planes);
            for (int x = 0; x < w; ++x) {
                ASSERT_EQ(Nibble(v.TopRow(r), x), PlanarPixel(line, bpl, planes, x))
                    << planes << " planes, line " << r << " x " << x;
            }
        }
    }
    // The single byte 0x80 at byte x = 1 of plane 2 sets 0x40 in row byte 4.
    Bytes decoded(2 * 4, 0);
    decoded[2 * 2 + 1] = 0x80;
    DibView v = TakeDib(DecodeBytes(PcxFile(PcxShape(1, 4, 16, 1, 2), decoded)));
    Bytes expected(8, 0);
    expected[4] = 0x40;
    EXPECT_EQ(v.pixels, expected);
}

TEST_F(PcxDecoderTest, ThreePlanesOfEightBitsAreTrueColour)
{
    const int w = 5, h = 3, bpl = 6;  // odd width, even bytes per line as writers pad
    Bytes decoded = Pattern(size_t{bpl} * 3 * h, 7);
    Bytes pal = RampPalette768();
    DibView v = TakeDib(DecodeBytes(PcxFile(PcxShape(8, 3, w, h, bpl), decoded, &pal)));
    EXPECT_EQ(v.bih.biBitCount, 24);
    EXPECT_EQ(v.bih.biClrUsed, 0u);
    EXPECT_TRUE(v.colours.empty());
    ASSERT_EQ(v.cbStride, 16u);
    for (int r = 0; r < h; ++r) {
        const uint8_t* row = v.TopRow(r);
        const uint8_t* line = &decoded[size_t{bpl} * 3 * r];
        for (int x = 0; x < w; ++x) {
            EXPECT_EQ(row[3 * x + 2], line[x]) << "red " << x;
            EXPECT_EQ(row[3 * x + 1], line[bpl + x]) << "green " << x;
            EXPECT_EQ(row[3 * x + 0], line[2 * bpl + x]) << "blue " << x;
        }
        EXPECT_EQ(row[15], 0);
    }
}

TEST_F(PcxDecoderTest, RunLengthItemsAndRunsAcrossLines)
{
    // 192 is a run of nothing; 255 repeats the next byte 63 times, here from
    // the first scan line into the second; 191 stands for itself once.
    Bytes file = PcxHeader(PcxShape(8, 1, 40, 2, 40));
    Bytes items = {0xC0, 0x55, 191, 0xFF, 0x07, 0xC3, 0xC9, 0xC1, 0xC0, 0xCC, 0x02, 0xC5, 0x99};
    file.insert(file.end(), items.begin(), items.end());
    DibView v = TakeDib(DecodeBytes(file));
    Bytes top(40, 0x07), bottom(40, 0x02);
    top[0] = 191;
    for (int i = 0; i < 24; ++i) bottom[i] = 0x07;
    for (int i = 24; i < 27; ++i) bottom[i] = 0xC9;
    bottom[27] = 0xC0;
    EXPECT_EQ(Bytes(v.TopRow(0), v.TopRow(0) + 40), top);
    EXPECT_EQ(Bytes(v.TopRow(1), v.TopRow(1) + 40), bottom);
}

TEST_F(PcxDecoderTest, NextByteReadsItemsThroughTheBuffer)
{
    // More than one buffer's worth, so that items straddle a refill; the
    // data ends with a single byte and a lone run marker whose value is missing.
    Bytes data;
    while (data.size() < kPcxReadChunk + 100) {
        data.push_back(0x41);
        data.push_back(0xC5);
        data.push_back(0xFE);
    }
    data.push_back(0x41);
    data.push_back(0xC5);
    WriteBytes("items.bin", AsString(data));
    PcxReader reader;
    reader.hFile = OpenForReading("items.bin");
    reader.uPos = reader.uFill = 0;
    ASSERT_NE(reader.hFile, HFILE_ERROR);
    size_t consumed = 0;
    BYTE b = 0;
    int n = 0;
    while (consumed + 3 <= data.size()) {
        ASSERT_EQ(PcxNextByte(&b, &n, &reader), 0);
        ASSERT_EQ(b, 0x41);
        ASSERT_EQ(n, 1);
        ASSERT_EQ(PcxNextByte(&b, &n, &reader), 0);
        ASSERT_EQ(b, 0xFE);
        ASSERT_EQ(n, 5);
        consumed += 3;
    }
    ASSERT_EQ(data.size() - consumed, 2u);
    ASSERT_EQ(PcxNextByte(&b, &n, &reader), 0);
    EXPECT_EQ(b, 0x41);
    EXPECT_EQ(PcxNextByte(&b, &n, &reader), -1) << "a run marker without its value";
    EXPECT_EQ(PcxNextByte(&b, &n, &reader), -1);
    EXPECT_EQ(n, 1);
    _lclose(reader.hFile);
}

TEST_F(PcxDecoderTest, BrokenDataYieldsNullAndReleasesEverything)
{
    PictureRefusal eRefusal = kPictureMade;
    PcxFields f = PcxShape(8, 1, 10, 4, 10);
    Bytes decoded = Pattern(40, 9);
    Bytes good = PcxFile(f, decoded);

    // A last run that reaches one byte past the image.
    Bytes overrun = PcxHeader(f);
    Bytes items = PcxEncode(Bytes(39, 0x11));
    overrun.insert(overrun.end(), items.begin(), items.end());
    overrun.push_back(0xC2);
    overrun.push_back(0x22);
    EXPECT_EQ(DecodeBytes(overrun, &eRefusal), nullptr);
    EXPECT_EQ(eRefusal, kRefuseRunPastEnd);

    // The entry ends before the image is complete: without data, one run
    // short of the picture, or on a run marker whose value is missing. The
    // same runs with the value decode.
    const Bytes threeRuns = {0xCA, 0x11, 0xCA, 0x22, 0xCA, 0x33};
    Bytes loneMarker = threeRuns, fourRuns = threeRuns;
    loneMarker.push_back(0xCA);
    fourRuns.insert(fourRuns.end(), {0xCA, 0x44});
    Bytes rows;  // bottom-up, 12 bytes each
    for (uint8_t value : {0x44, 0x33, 0x22, 0x11}) {
        rows.insert(rows.end(), 10, value);
        rows.insert(rows.end(), 2, 0);
    }
    for (const Bytes& data : {Bytes{}, threeRuns, loneMarker}) {
        Bytes cut = PcxHeader(f);
        cut.insert(cut.end(), data.begin(), data.end());
        EXPECT_EQ(DecodeBytes(cut, &eRefusal), nullptr) << data.size() << " bytes of data";
        EXPECT_EQ(eRefusal, kRefuseDataEnds) << data.size() << " bytes of data";
        cut.insert(cut.end(), fourRuns.begin() + static_cast<ptrdiff_t>(data.size()), fourRuns.end());
        EXPECT_EQ(TakeDib(DecodeBytes(cut)).pixels, rows) << data.size() << " bytes of data, completed";
    }

    // Header short or not a PCX file.
    EXPECT_EQ(DecodeBytes(Bytes(good.begin(), good.begin() + 127), &eRefusal), nullptr);
    EXPECT_EQ(eRefusal, kRefuseShortHeader);
    Bytes wrongMaker = good;
    wrongMaker[0] = 11;
    EXPECT_EQ(DecodeBytes(wrongMaker), nullptr);
}

TEST_F(PcxDecoderTest, HeadersDescribingNoUsableImageAreRefused)
{
    Bytes data(64, 0);
    struct Case {
        int xmin, xmax, ymin, ymax, bits, planes, bpl;
    } cases[] = {
        {5, 4, 0, 0, 8, 1, 2},                    // width 0
        {0, 0, 0, -1, 8, 1, 2},                   // height 0
        {32767, -32768, 0, 0, 8, 1, 2},           // width far below 1
        {-32768, 32767, -32768, 32767, 8, 1, 2},  // 4 Gpixels
        {0, 4095, 0, 4095, 255, 255, 2},          // 16 Mpixels of 65025 bits
        {0, 7, 0, 7, 0, 1, 2},                    // no bits per pixel
        {0, 7, 0, 7, 8, 0, 2},                    // no planes
    };
    for (const Case& c : cases) {
        PcxFields f = PcxShape(c.bits, c.planes, 1, 1, c.bpl);
        f.xmin = static_cast<int16_t>(c.xmin), f.xmax = static_cast<int16_t>(c.xmax);
        f.ymin = static_cast<int16_t>(c.ymin), f.ymax = static_cast<int16_t>(c.ymax);
        Bytes file = PcxHeader(f);
        file.insert(file.end(), data.begin(), data.end());
        EXPECT_EQ(DecodeBytes(file), nullptr) << c.xmin << ".." << c.xmax << " x " << c.ymin << ".." << c.ymax;
    }
}

TEST_F(PcxDecoderTest, ScanLinesWiderThanTheRowStayInTheirRow)
{
    // One plane, 300 bytes per line for 3 pixels: only the row's 4 bytes take data.
    const int h = 3;
    Bytes decoded;
    for (int r = 0; r < h; ++r) decoded.insert(decoded.end(), 300, static_cast<uint8_t>(0x10 + r));
    DibView v = TakeDib(DecodeBytes(PcxFile(PcxShape(8, 1, 3, h, 300), decoded)));
    ASSERT_EQ(v.cbStride, 4u);
    for (int r = 0; r < h; ++r)
        EXPECT_EQ(Bytes(v.TopRow(r), v.TopRow(r) + 4), Bytes(4, static_cast<uint8_t>(0x10 + r)));

    // Four planes of 8 bits are placed as if each held 1 bit per pixel: data
    // for 8 * bytes-per-line pixels against rows of 32-bit pixels.
    decoded.assign(size_t{40} * 4 * h, 0xFF);
    v = TakeDib(DecodeBytes(PcxFile(PcxShape(8, 4, 2, h, 40), decoded)));
    EXPECT_EQ(v.bih.biBitCount, 32);
    ASSERT_EQ(v.cbStride, 8u);
    EXPECT_EQ(v.pixels, Bytes(8 * h, 0xFF));

    // Three planes of 1 bit with 2 pixels: rows of 4 bytes, data for 16 pixels.
    decoded.assign(size_t{2} * 3 * h, 0xFF);
    v = TakeDib(DecodeBytes(PcxFile(PcxShape(1, 3, 2, h, 2), decoded)));
    EXPECT_EQ(v.pixels, Bytes(4 * h, 0x77));
}

TEST_F(PcxDecoderTest, NoBytesPerLineGivesABlankImage)
{
    for (int bpl : {0, -4}) {
        Bytes file = PcxHeader(PcxShape(8, 1, 6, 2, bpl));  // no data at all
        DibView v = TakeDib(DecodeBytes(file));
        EXPECT_EQ(v.bih.biSizeImage, 16u);
        EXPECT_EQ(v.pixels, Bytes(16, 0));
    }
}

TEST_F(PcxDecoderTest, AbsentPaletteOfTwoHundredFiftySixColours)
{
    // An all-black trailer: the table keeps its 256 entries so that a DIB
    // reader finds the rows inside the block.
    Bytes black(768, 0), decoded = Pattern(16, 4);
    DibView v = TakeDib(DecodeBytes(PcxFile(PcxShape(8, 1, 4, 4, 4), decoded, &black)));
    EXPECT_EQ(v.bih.biClrUsed, 256u);
    EXPECT_EQ(v.colours.size(), 256u);
    for (const RGBQUAD& q : v.colours) EXPECT_TRUE(SameColour(q, 0, 0, 0));
    EXPECT_EQ(memcmp(v.TopRow(3), &decoded[12], 4), 0);
}

TEST_F(PcxDecoderTest, EntryInsideALargerFile)
{
    // The entry sits at offset 1000 between unrelated bytes; the trailer is
    // found from the entry's own end, and bytes after it are never pixels.
    Bytes pal = RampPalette768();
    Bytes decoded = Pattern(16, 5);
    Bytes entry = PcxFile(PcxShape(8, 1, 4, 4, 4), decoded, &pal);
    Bytes file(1000 + entry.size() + 2000, 12);
    std::fill(file.begin(), file.begin() + 1000, 0xC7);
    std::copy(entry.begin(), entry.end(), file.begin() + 1000);
    WriteBytes("archive.bin", AsString(file));
    HFILE hFile = OpenForReading("archive.bin");
    _llseek(hFile, 17, FILE_BEGIN);  // where the file stands on entry does not matter
    DibView v = TakeDib(ReadPcxFile(hFile, 1000, static_cast<LONG>(entry.size())));
    EXPECT_TRUE(AllFilesClosed("archive.bin"));
    EXPECT_EQ(v.bih.biClrUsed, 256u);
    EXPECT_TRUE(SameColour(v.colours[200], 200, 55, 200 ^ 0x5A));
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(memcmp(v.TopRow(r), &decoded[4 * r], 4), 0);
    }

    // Offsets outside the file, and an entry too short to hold a trailer.
    WriteBytes("archive.bin", AsString(file));
    for (LONG lOffset : {LONG{-1}, LONG{-1000}, LONG{2000000000}}) {
        hFile = OpenForReading("archive.bin");
        EXPECT_EQ(ReadPcxFile(hFile, lOffset, 900), nullptr) << lOffset;
        EXPECT_TRUE(AllFilesClosed("archive.bin"));
        WriteBytes("archive.bin", AsString(file));
    }
    hFile = OpenForReading("archive.bin");
    v = TakeDib(ReadPcxFile(hFile, 1000, 200));
    EXPECT_EQ(v.bih.biClrUsed, 16u);
}

TEST_F(PcxDecoderTest, AllocationFailureYieldsNull)
{
    Bytes file = PcxFile(PcxShape(8, 1, 8, 8, 8), Pattern(64, 6));
    if (!FailAllocation(1)) GTEST_SKIP() << "allocation failures cannot be injected here";
    EXPECT_EQ(DecodeBytes(file), nullptr);
    FailAllocation(0);
    FailLock(1);  // the picture's block, which is then freed
    EXPECT_EQ(DecodeBytes(file), nullptr);
    FailLock(0);
}

TEST_F(PcxDecoderTest, ReadsTheDataInLargeChunks)
{
    // 1024 x 1024 of noise-like bytes: about a megabyte of items.
    const int w = 1024, h = 1024;
    Bytes decoded = Pattern(size_t{w} * h, 8);
    Bytes pal = RampPalette768();
    Bytes file = PcxFile(PcxShape(8, 1, w, h, w), decoded, &pal);
    long lBefore = ReadCalls();
    if (lBefore < 0) GTEST_SKIP() << "read calls are not counted here";
    DibView v = TakeDib(DecodeBytes(file));
    long lCalls = ReadCalls() - lBefore;
    EXPECT_LE(lCalls, static_cast<long>(file.size() / 32768 + 8));
    EXPECT_EQ(memcmp(v.TopRow(h - 1), &decoded[size_t{w} * (h - 1)], w), 0);
}

TEST_F(PcxDecoderTest, DataThatCannotFillTheImageIsRefusedBeforeAllocating)
{
    // At most 63 bytes per run item and 1 per single byte, from the data's
    // start to the end of the file, which may lie past the stated size. Where
    // allocations can be failed, one that is tried shows as out of memory.
    const Bytes twoRuns = {0xFF, 7, 0xFF, 7}, runAndHalf = {0xFF, 7, 0xFF}, twoRunsAndOne = {0xFF, 7, 0xFF, 7, 7};
    // 65,536 scan lines of 4 planes of 32,767 bytes: about 2^33 bytes of
    // data, which a 32-bit size would wrap to less than nothing.
    PcxFields tallest = PcxShape(1, 4, 1, 1, 32767);
    tallest.ymin = INT16_MIN;
    tallest.ymax = INT16_MAX;
    struct Case {
        PcxFields f;
        Bytes data;
        LONG lStatedSize;  // 0: the whole file
        bool bCanFill;
    } const cases[] = {
        {PcxShape(8, 1, 126, 1, 126), twoRuns, 0, true},
        {PcxShape(8, 1, 126, 1, 126), runAndHalf, 0, false},
        {PcxShape(8, 1, 127, 1, 127), twoRunsAndOne, 0, true},
        {PcxShape(8, 1, 127, 1, 127), twoRuns, 0, false},
        {PcxShape(8, 1, 126, 1, 126), twoRuns, 128, true},
        {PcxShape(8, 3, 8192, 8192, 8192), twoRuns, 0, false},
        {tallest, twoRuns, 0, false},
        {PcxShape(8, 1, 4096, 4096, 0), {}, 0, true},  // no bytes per line: a blank image
    };
    for (const Case& c : cases) {
        Bytes file = PcxHeader(c.f);
        file.insert(file.end(), c.data.begin(), c.data.end());
        WriteBytes("entry.pcx", AsString(file));
        const bool bFailing = FailAllocation(1);
        PictureRefusal eRefusal = kPictureMade;
        const LONG lSize = c.lStatedSize ? c.lStatedSize : static_cast<LONG>(file.size());
        HGLOBAL hDib = ReadPcxFileWithReason(OpenForReading("entry.pcx"), 0, lSize, &eRefusal);
        FailAllocation(0);
        EXPECT_EQ(eRefusal, !c.bCanFill ? kRefuseDataEnds : bFailing ? kRefuseNoMemory : kPictureMade) << c.f.xmax;
        if (hDib) GlobalFree(hDib);
    }
}

TEST_F(PcxDecoderTest, BitCountsNoBitmapHasAreRefusedBeforeAnyBlock)
{
    // Planes times bits per pixel (3 taken as 4) is the DIB's bit count;
    // lines of no bytes read nothing, so only that count can refuse these.
    struct Case {
        int bits, planes, dibBits;
        bool bBitmap;
    } const cases[] = {
        {1, 1, 1, true},    {1, 3, 4, true},       {1, 4, 4, true},          {4, 1, 4, true},  {8, 1, 8, true},
        {4, 2, 8, true},    {8, 2, 16, true},      {8, 3, 24, true},         {8, 4, 32, true}, {32, 1, 32, true},
        {1, 2, 2, false},   {2, 1, 2, false},      {1, 5, 5, false},         {2, 3, 6, false}, {8, 5, 40, false},
        {64, 1, 64, false}, {200, 8, 1600, false}, {255, 255, 65025, false},
    };
    const PcxClip viewer = {407, 263};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.planes) + " planes of " + std::to_string(c.bits) + " bits");
        WriteBytes("entry.pcx", AsString(PcxHeader(PcxShape(c.bits, c.planes, 119, 263, 0))));
        for (const PcxClip* pClip : {static_cast<const PcxClip*>(nullptr), &viewer}) {
            const long lAllocations = Allocations();
            PictureRefusal eRefusal = kPictureMade;
            PcxPlannedDib planned = {0, 0, 0};
            HGLOBAL hDib = ReadPcxFileWithReason(OpenForReading("entry.pcx"), 0, 128, &eRefusal, pClip, &planned);
            EXPECT_EQ(eRefusal, c.bBitmap ? kPictureMade : kRefuseBitCount);
            EXPECT_EQ(planned.lWidth, 119);
            EXPECT_EQ(planned.lHeight, 263);
            EXPECT_EQ(planned.wBitCount, c.dibBits);
            if (lAllocations >= 0) {
                EXPECT_EQ(Allocations() - lAllocations, c.bBitmap ? 1 : 0);
            }
            if (hDib) {
                EXPECT_EQ(TakeDib(hDib).bih.biBitCount, c.dibBits);
            }
        }
    }

    // The fuzz findings of this kind: up to 254 MB asked for a file of 128 bytes.
    const std::filesystem::path regressions(VBL_REGRESSION_DIR);
    for (const char* pszName : {"pcx-bits-255x255-bpl0.pcx", "pcx-bits-fuzz-170b.pcx", "pcx-bits-fuzz-407b.pcx"}) {
        SCOPED_TRACE(pszName);
        std::ifstream in(regressions / pszName, std::ios::binary);
        const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_GE(file.size(), 128u);
        const long lAllocations = Allocations();
        PictureRefusal eRefusal = kPictureMade;
        EXPECT_EQ(DecodeBytes(file, &eRefusal), nullptr);
        EXPECT_EQ(eRefusal, kRefuseBitCount);
        if (lAllocations >= 0) {
            EXPECT_EQ(Allocations(), lAllocations);
        }
    }
}
