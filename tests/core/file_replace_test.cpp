// vbltool's write layer where the command-line tables cannot reach it: the
// Windows read-only, hidden and system attributes, drive-relative outputs,
// names Windows refuses or changes, devices, and renames and removals another
// program's handle holds up: a sharing violation while the file being renamed
// is held, access denied while the file it replaces is (so Wine answers, as
// Windows does). On Linux the faults build stands in for both
// (tests/diff/vbltool_write_test.sh).
#include <atomic>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "file_moves.h"
#include "file_replace.h"
#include "file_system.h"
#include "test_support.h"
#include "tool_input.h"

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

TEST_F(FileReplaceTest, RemoveWaitsForAFileHeldForAMoment)
{
    WriteBytes("VBL00000.TMP", "scratch");
    Holder holder = {HoldFile("VBL00000.TMP"), 0, true};
    ASSERT_NE(holder.hFile, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(RemoveFileRetrying("VBL00000.TMP", CountWait, &holder));
    EXPECT_EQ(holder.nWaits, 1);
    EXPECT_EQ(GetFileAttributesA("VBL00000.TMP"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FileReplaceTest, FileHeldForGoodIsNotReplacedAndSaysWhy)
{
    WriteBytes("held.bin", "old");
    const HANDLE hHeld = HoldFile("held.bin");
    ASSERT_NE(hHeld, INVALID_HANDLE_VALUE);
    const char* pszReason = nullptr;
    EXPECT_FALSE(WriteText("held.bin", "new", &pszReason));
    CloseHandle(hHeld);
    EXPECT_STREQ(pszReason, "another program is using it");
    EXPECT_EQ(Contents("held.bin"), "old");
    EXPECT_EQ(GetFileAttributesA("VBL00000.TMP"), INVALID_FILE_ATTRIBUTES);
}

// Another program (an antivirus scanning it) opens the scratch file and keeps
// it: neither renamed nor removed, it is named. The file it would replace is
// held for good too, so that the scratch file waits through every try of the
// rename (about a second) and the scanner surely finds it there.
TEST_F(FileReplaceTest, ScratchFileHeldForGoodIsNamedWhenLeftBehind)
{
    WriteBytes("out.bin", "old");
    const HANDLE hOut = HoldFile("out.bin");
    ASSERT_NE(hOut, INVALID_HANDLE_VALUE);
    std::atomic<bool> bDone(false);
    std::atomic<HANDLE> hScratch(INVALID_HANDLE_VALUE);
    std::thread holder([&] {
        while (!bDone && hScratch == INVALID_HANDLE_VALUE) {
            hScratch = CreateFileA("VBL00000.TMP", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        }
    });
    const char* pszReason = nullptr;
    const bool bWritten = WriteText("out.bin", "new", &pszReason);
    bDone = true;
    holder.join();
    CloseHandle(hOut);
    ASSERT_NE(hScratch.load(), INVALID_HANDLE_VALUE);
    CloseHandle(hScratch);
    EXPECT_FALSE(bWritten);
    EXPECT_STREQ(pszReason, "another program is using it; VBL00000.TMP is left beside it");
    EXPECT_EQ(Contents("out.bin"), "old");
    EXPECT_NE(GetFileAttributesA("VBL00000.TMP"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FileReplaceTest, HiddenAndSystemAttributesAreKept)
{
    const DWORD dwKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    for (const DWORD dwOld :
         {DWORD{FILE_ATTRIBUTE_HIDDEN}, DWORD{FILE_ATTRIBUTE_SYSTEM}, dwKept, DWORD{FILE_ATTRIBUTE_ARCHIVE}}) {
        WriteBytes("attr.bin", "old");
        ASSERT_TRUE(SetFileAttributesA("attr.bin", dwOld));
        const char* pszReason = nullptr;
        EXPECT_TRUE(WriteText("attr.bin", "new", &pszReason)) << pszReason;
        const DWORD dwNew = GetFileAttributesA("attr.bin");
        EXPECT_EQ(dwNew & dwKept, dwOld & dwKept) << std::hex << dwOld;
        EXPECT_EQ(Contents("attr.bin"), "new");
        SetFileAttributesA("attr.bin", FILE_ATTRIBUTE_NORMAL);
        DeleteFileA("attr.bin");
    }
}

std::string CurrentFolder()
{
    char szFolder[MAX_PATH];
    const DWORD cch = GetCurrentDirectoryA(MAX_PATH, szFolder);
    return std::string(szFolder, cch < MAX_PATH ? cch : 0);
}

// Outputs whose reason is the user's to act on; nothing is made for any.
TEST_F(FileReplaceTest, OutputsRefusedWithAReason)
{
    const std::string strHere = CurrentFolder();
    ASSERT_FALSE(strHere.empty());
    ASSERT_LT(strHere.size(), 200u);
    const std::string strLongFolder(250 - strHere.size(), 'f');
    const struct {
        std::string strPath;
        std::string strReason;
    } kCases[] = {
        {"nodir\\out.bmp", "the folder '" + strHere + "\\nodir' does not exist"},
        {"out.png.", "the name ends with a dot or a blank, which Windows drops"},
        {"out.png ", "the name ends with a dot or a blank, which Windows drops"},
        {"sub/out.png...", "the name ends with a dot or a blank, which Windows drops"},
        {std::string(300 - strHere.size(), 'n') + ".bmp", "the path is too long"},
        // The output fits, its scratch file VBL00000.TMP beside it would not.
        {strLongFolder + "\\o", "the path is too long"},
    };
    for (const auto& c : kCases) {
        const char* pszReason = nullptr;
        EXPECT_FALSE(WriteText(c.strPath.c_str(), "new", &pszReason)) << c.strPath;
        EXPECT_EQ(std::string(pszReason ? pszReason : ""), c.strReason) << c.strPath;
    }
    WIN32_FIND_DATAA found;
    const HANDLE hFind = FindFirstFileA("*", &found);
    ASSERT_NE(hFind, INVALID_HANDLE_VALUE);
    int nNames = 0;
    do {
        nNames += strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0;
    } while (FindNextFileA(hFind, &found));
    FindClose(hFind);
    EXPECT_EQ(nNames, 0) << "first left: " << found.cFileName;
}

// Inputs too: a path too long, a file another program keeps to itself.
TEST_F(FileReplaceTest, InputsRefusedWithAReason)
{
    WriteBytes("kept.pcx", "mine");
    const HANDLE hKept = CreateFileA("kept.pcx", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hKept, INVALID_HANDLE_VALUE);
    const std::string strLong(300, 'n');
    const struct {
        std::string strPath;
        const char* pszReason;
    } kCases[] = {
        {strLong, "the path is too long"},
        {"kept.pcx", "another program is using it"},
        {"absent.pcx", "cannot open the file"},
    };
    for (const auto& c : kCases) {
        LONG lSize = 0;
        testing::internal::CaptureStderr();
        const HFILE hFile = OpenInput(c.strPath.c_str(), &lSize);
        const std::string strSaid = testing::internal::GetCapturedStderr();
        EXPECT_EQ(hFile, HFILE_ERROR) << c.strPath;
        EXPECT_EQ(strSaid, "vbltool: " + c.strPath + ": " + c.pszReason + "\n");
    }
    CloseHandle(hKept);
}

// Devices are written through; no file of their name is made. CONOUT$ is
// the console, when there is one (under ctest there may be none).
TEST_F(FileReplaceTest, DevicesAreWrittenThrough)
{
    const HANDLE hConsole =
        CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    const bool bConsole = hConsole != INVALID_HANDLE_VALUE;
    if (bConsole) CloseHandle(hConsole);
    for (const char* pszDevice : {"NUL", "nul", "nul.bmp", "NUL.png", "CONOUT$", "conout$"}) {
        const bool bWritable = strncmp(pszDevice, "CONOUT$", 7) != 0 && strncmp(pszDevice, "conout$", 7) != 0;
        const char* pszReason = nullptr;
        EXPECT_EQ(WriteText(pszDevice, "new", &pszReason), bWritable || bConsole) << pszDevice << ": " << pszReason;
    }
    WIN32_FIND_DATAA found;
    const HANDLE hFind = FindFirstFileA("*.*", &found);
    ASSERT_NE(hFind, INVALID_HANDLE_VALUE);
    do {
        EXPECT_TRUE(strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0) << found.cFileName;
    } while (FindNextFileA(hFind, &found));
    FindClose(hFind);
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
