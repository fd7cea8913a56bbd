// The viewer's decode of a picture's top-left corner against the decode of
// the whole picture, over every picture at hand: the regression inputs, the
// fuzz seed corpus and pictures made by the test PCX writer, each decoded
// whole and for corners of several sizes. The corner must refuse exactly
// what the whole refuses, read the file the same way, and show exactly the
// whole picture's pixels.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

#include "dib_corner.h"
#include "preview/level_archive.h"
#include "preview/pcx_decoder.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

class PcxClipTest : public ScratchDirTest {};

std::set<PictureRefusal> g_verdicts;  // of every whole picture decoded

struct Decoded {
    PictureRefusal eRefusal = kPictureMade;
    long lReads = 0;
    DibView dib{};
};

// The picture of a bare PCX file, or of a level archive's "level.pcx".
Decoded Decode(const std::string& path, bool bArchive, const PcxClip* pClip)
{
    Decoded d;
    HFILE hFile = OpenForReading(path);
    EXPECT_NE(hFile, HFILE_ERROR) << path;
    const LONG lSize = _llseek(hFile, 0, FILE_END);
    const long lBefore = ReadCalls();
    HBITMAP hDib = nullptr;
    if (bArchive)
        ExtractPcxFromArchive(hFile, &hDib, &d.eRefusal, pClip);
    else
        hDib = static_cast<HBITMAP>(ReadPcxFileWithReason(hFile, 0, lSize, &d.eRefusal, pClip));
    d.lReads = ReadCalls() - lBefore;
    if (hDib) d.dib = TakeDib(static_cast<HGLOBAL>(hDib));
    return d;
}

// Decodes the file whole and for each corner size, and compares.
void ExpectCornersOfWhole(const std::string& path, bool bArchive)
{
    SCOPED_TRACE(path);
    const Decoded whole = Decode(path, bArchive, nullptr);
    g_verdicts.insert(whole.eRefusal);
    for (const PcxClip clip :
         {PcxClip{1, 1}, PcxClip{5, 3}, PcxClip{13, 70}, PcxClip{64, 2}, PcxClip{407, 263}, PcxClip{30000, 30000}}) {
        SCOPED_TRACE(std::to_string(clip.lWidth) + " x " + std::to_string(clip.lHeight));
        const Decoded part = Decode(path, bArchive, &clip);
        ASSERT_EQ(part.eRefusal, whole.eRefusal);
        if (ReadCalls() >= 0) {
            EXPECT_EQ(part.lReads, whole.lReads);
        }
        if (whole.eRefusal != kPictureMade) continue;
        const char* pszWhat =
            CornerMismatch({&whole.dib.bih, whole.dib.colours.data(), whole.dib.pixels.data()},
                           {&part.dib.bih, part.dib.colours.data(), part.dib.pixels.data()}, clip.lWidth, clip.lHeight);
        ASSERT_EQ(pszWhat, nullptr) << pszWhat;
    }
}

std::vector<std::string> FilesIn(const fs::path& dir)
{
    std::vector<std::string> files;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
        if (e.is_regular_file() && e.path().filename() != "README.md") files.push_back(e.path().string());
    }
    return files;
}

// Decoded bytes in runs of 1 to 32 bytes, values above 191 among them.
Bytes Runs(size_t n, unsigned seed)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(((i >> ((i >> 9) % 6)) * 73 + seed * 29) & 0xFF);
    return b;
}

}  // namespace

TEST_F(PcxClipTest, CornerIsTheWholePicturesCornerWithTheSameVerdict)
{
    if (ReadCalls() < 0) printf("note: _lread calls are not counted here: the corners' reads are not compared\n");
    const fs::path regressions(VBL_REGRESSION_DIR);
    const fs::path corpus = regressions.parent_path() / "fuzz" / "corpus";
    for (const std::string& path : FilesIn(regressions)) {
        ExpectCornersOfWhole(path, false);
        ExpectCornersOfWhole(path, true);
    }
    for (const std::string& path : FilesIn(corpus / "pcx")) ExpectCornersOfWhole(path, false);
    for (const std::string& path : FilesIn(corpus / "level")) ExpectCornersOfWhole(path, true);

    // Every placement, rows narrower and wider than the scan lines, whole
    // data, data that ends early and a last run past the image's end.
    struct Shape {
        int bits, planes, width, height, bytesPerLine;
    };
    const Shape shapes[] = {{8, 1, 401, 5, 402}, {8, 1, 33, 40, 40},    {8, 1, 700, 300, 700}, {1, 1, 70, 9, 10},
                            {4, 1, 9, 4, 6},     {8, 2, 20, 6, 20},     {1, 3, 50, 7, 8},      {1, 4, 50, 7, 8},
                            {8, 3, 30, 6, 32},   {8, 3, 500, 280, 500}, {8, 4, 20, 5, 20},     {8, 1, 10, 10, 0}};
    unsigned seed = 0;
    for (const Shape& s : shapes) {
        const PcxFields f = PcxShape(s.bits, s.planes, s.width, s.height, s.bytesPerLine);
        const size_t cbDecoded = size_t{1} * s.bytesPerLine * s.planes * s.height;
        Bytes decoded = Runs(cbDecoded, ++seed);
        const Bytes pal = RampPalette768();
        const Bytes whole = PcxFile(f, decoded, &pal);
        Bytes shortened = PcxHeader(f);
        shortened.insert(shortened.end(), whole.begin() + 128, whole.begin() + 128 + (whole.size() - 128 - 769) / 2);
        decoded.insert(decoded.end(), 40, decoded.empty() ? 7 : decoded.back());  // the last run goes on
        for (const Bytes& file : {whole, shortened, PcxFile(f, decoded)}) {
            WriteBytes("made.pcx", AsString(file));
            ExpectCornersOfWhole("made.pcx", false);
            WriteBytes("made.dat", AsString(LevelArchive({{NameField("level.pcx"), file}})));
            ExpectCornersOfWhole("made.dat", true);
        }
    }
    for (PictureRefusal e : {kPictureMade, kRefuseDataEnds, kRefuseRunPastEnd, kRefuseTooLarge, kRefuseBitCount})
        EXPECT_EQ(g_verdicts.count(e), 1u) << "no input gave verdict " << e;
}
