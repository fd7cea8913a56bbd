// vbltool's write layer where the command-line tables cannot reach it: the
// Windows read-only attribute, drive-relative outputs, and renames another
// program's handle holds up: a sharing violation while the file being renamed
// is held, access denied while the file it replaces is (so Wine answers, as
// Windows does). On Linux the faults build stands in for both
// (tests/diff/vbltool_write_test.sh).
#include <fstream>
#include <sstream>
#include <string>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "file_moves.h"
#include "file_replace.h"
#include "file_system.h"
#include "test_support.h"

namespace {

using FileReplaceTest = ScratchDirTest;

std::string Contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

bool WriteText(const char* pszPath, const std::string& text, const char** ppszReason)
{
    const std::vector<unsigned char> data(text.begin(), text.end());
    return WriteWholeFile(pszPath, data, ppszReason);
}

TEST_F(FileReplaceTest, ReadOnlyFileIsRefusedAndKept)
{
    WriteBytes("ro.bin", "mine");
#ifdef _WIN32
    ASSERT_TRUE(SetFileAttributesA("ro.bin", FILE_ATTRIBUTE_READONLY));
#else
    if (geteuid() == 0) GTEST_SKIP() << "root may write any file; vbltool_write runs this case as another user";
    ASSERT_EQ(chmod("ro.bin", 0444), 0);
#endif
    const char* pszReason = nullptr;
    EXPECT_FALSE(WriteText("ro.bin", "new", &pszReason));
    EXPECT_STREQ(pszReason, "is read-only; it is not replaced");
    EXPECT_EQ(Contents("ro.bin"), "mine");
#ifdef _WIN32
    SetFileAttributesA("ro.bin", FILE_ATTRIBUTE_NORMAL);
#endif
}

// Counts the waits between tries; the first one lets the held file go.
struct Holder {
    HANDLE hFile;
    int nWaits;
    bool bLetGo;
};

void CountWait(void* pContext)
{
    auto* pHolder = static_cast<Holder*>(pContext);
    ++pHolder->nWaits;
#ifdef _WIN32
    if (pHolder->bLetGo && pHolder->hFile != INVALID_HANDLE_VALUE) {
        CloseHandle(pHolder->hFile);
        pHolder->hFile = INVALID_HANDLE_VALUE;
    }
#endif
}

TEST_F(FileReplaceTest, MissingFileIsNotTriedAgain)
{
    Holder holder = {nullptr, 0, false};
    EXPECT_FALSE(MoveFileRetrying("missing.bin", "there.bin", 0, CountWait, &holder));
    EXPECT_EQ(holder.nWaits, 0);
}

#ifdef _WIN32
// Opened as an antivirus or the indexer would: others may read, not delete.
HANDLE HoldFile(const char* pszPath)
{
    return CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST_F(FileReplaceTest, RenameWaitsForAFileHeldForAMoment)
{
    // The fresh file held (an antivirus reading what was just written), or
    // the one it replaces; the error a rename meets then.
    const struct {
        const char* pszHeld;
        DWORD dwError;
    } cases[] = {{"new.bin", ERROR_SHARING_VIOLATION}, {"held.bin", ERROR_ACCESS_DENIED}};
    for (const auto& c : cases) {
        WriteBytes("new.bin", "new");
        WriteBytes("held.bin", "old");
        Holder holder = {HoldFile(c.pszHeld), 0, true};
        ASSERT_NE(holder.hFile, INVALID_HANDLE_VALUE);
        ASSERT_FALSE(MoveFileExA("new.bin", "held.bin", MOVEFILE_REPLACE_EXISTING));
        EXPECT_EQ(GetLastError(), c.dwError) << c.pszHeld;
        EXPECT_TRUE(MoveFileRetrying("new.bin", "held.bin", MOVEFILE_REPLACE_EXISTING, CountWait, &holder))
            << c.pszHeld;
        EXPECT_EQ(holder.nWaits, 1) << c.pszHeld;
        EXPECT_EQ(Contents("held.bin"), "new") << c.pszHeld;
        if (holder.hFile != INVALID_HANDLE_VALUE) CloseHandle(holder.hFile);  // not let go: a failure above
    }
}

TEST_F(FileReplaceTest, RenameGivesUpOnAFileHeldForGood)
{
    WriteBytes("new.bin", "new");
    WriteBytes("held.bin", "old");
    Holder holder = {HoldFile("held.bin"), 0, false};
    ASSERT_NE(holder.hFile, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(MoveFileRetrying("new.bin", "held.bin", MOVEFILE_REPLACE_EXISTING, CountWait, &holder));
    EXPECT_EQ(holder.nWaits, kMoveTries - 1);
    CloseHandle(holder.hFile);
    EXPECT_EQ(Contents("held.bin"), "old");
}

// X:name is in X:'s own current folder, not the current drive's: the scratch
// file must be made there, or the rename would cross drives. Here X: is the
// scratch folder's drive, its current folder the scratch folder, and the
// current folder another drive's root.
TEST_F(FileReplaceTest, DriveRelativeOutputIsWrittenOnItsDrive)
{
    char szScratch[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, szScratch), 0u);
    const std::string strDrive(szScratch, 2);
    std::string strOther;
    for (char c = 'Z'; c > 'A' && strOther.empty(); --c) {
        const std::string strRoot = std::string(1, c) + ":\\";
        if (c != szScratch[0] && GetDriveTypeA(strRoot.c_str()) == DRIVE_FIXED) strOther = strRoot;
    }
    if (strOther.empty()) GTEST_SKIP() << "no second fixed drive";
    ASSERT_TRUE(SetEnvironmentVariableA(("=" + strDrive).c_str(), szScratch));
    ASSERT_TRUE(SetCurrentDirectoryA(strOther.c_str()));
    // Under Wine a rename across drives works: where the scratch file goes is
    // seen in the path the output's folder is taken from.
    const std::string strPlaced = InspectOutput((strDrive + "far.bin").c_str()).strPath;
    const char* pszReason = nullptr;
    const bool bWritten = WriteText((strDrive + "far.bin").c_str(), "far", &pszReason);
    const DWORD dwLeft = GetFileAttributesA("VBL00000.TMP");
    SetCurrentDirectoryA(szScratch);
    EXPECT_TRUE(bWritten) << pszReason;
    EXPECT_EQ(Contents("far.bin"), "far");
    EXPECT_EQ(strPlaced, std::string(szScratch) + "\\far.bin");
    EXPECT_EQ(dwLeft, INVALID_FILE_ATTRIBUTES) << "a scratch file on " << strOther;
}
#endif

}  // namespace
