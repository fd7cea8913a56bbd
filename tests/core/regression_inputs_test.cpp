// Every saved hostile input (tests/regressions) goes through both entry
// points, as a bare picture and as a level archive: no fault, no leak, no
// file left open, and any picture that comes out is a consistent packed DIB.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "preview/level_archive.h"
#include "preview/pcx_decoder.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

class RegressionInputsTest : public ScratchDirTest {};

std::vector<fs::path> RegressionFiles()
{
    std::vector<fs::path> files;
    for (const fs::directory_entry& e : fs::directory_iterator(fs::path(VBL_REGRESSION_DIR))) {
        if (e.is_regular_file() && e.path().filename() != "README.md") files.push_back(e.path());
    }
    return files;
}

Bytes ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

TEST_F(RegressionInputsTest, EveryInputIsHandledCleanly)
{
    std::vector<fs::path> files = RegressionFiles();  // absolute: listed before any file is written
    ASSERT_GE(files.size(), 5u);
    for (const fs::path& path : files) {
        SCOPED_TRACE(path.filename().string());
        Bytes data = ReadAll(path);
        long lBlocks = LiveBlocks();

        WriteBytes("picture.pcx", AsString(data));
        HGLOBAL hDib = ReadPcxFile(OpenForReading("picture.pcx"), 0, static_cast<LONG>(data.size()));
        EXPECT_TRUE(AllFilesClosed("picture.pcx"));
        if (hDib) {
            DibView v = TakeDib(hDib);
            EXPECT_EQ(v.bih.biSizeImage, v.cbStride * v.bih.biHeight);
        }

        WriteBytes("levels/replay.dat", AsString(data));
        HBITMAP hBitmap = nullptr;
        EXPECT_EQ(ExtractLevelPcx("replay", &hBitmap), 0);
        EXPECT_TRUE(AllFilesClosed("levels/replay.dat"));
        if (hBitmap) TakeDib(static_cast<HGLOBAL>(hBitmap));
        if (lBlocks >= 0) {
            EXPECT_EQ(LiveBlocks(), lBlocks);
        }
    }
}
