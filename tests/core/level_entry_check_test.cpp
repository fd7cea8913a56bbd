// The checks that keep an unpacked entry inside its folder and off devices
// and other entries, on the Windows builds as on Linux.
#include <string>
#include <utility>

#include "preview/level_entry_check.h"
#include "test_support.h"

namespace {

class LevelEntryCheckTest : public ScratchDirTest {};

TEST(LevelEntryNames, RefusesWhatWindowsOrAFolderCannotHold)
{
    const char* const kSound[] = {"level.pcx", "a", "..x", "con1", "comx.txt", "lpt10", "nul_", "caf\xE9.map"};
    const char* const kRefused[] = {"",         ".",    "..",     "a/b",     "a\\b",     "c:x",   "tab\tx",
                                    "del\x7F",  "a|b",  "x.",     "x ",      "CON",      "aux.x", "Nul.tar.gz",
                                    "com9.pcx", "LPT1", "con .x", "COM\xB9", "conout$.x"};
    for (const char* pszName : kSound) EXPECT_EQ(LevelEntryNameFault(pszName), nullptr) << pszName;
    for (const char* pszName : kRefused) EXPECT_NE(LevelEntryNameFault(pszName), nullptr) << pszName;
    EXPECT_TRUE(LevelEntryNamesClash("Level.PCX", "level.pcx"));
    EXPECT_TRUE(LevelEntryNamesClash("caf\xC9", "caf\xE9"));                    // Windows-1252 letters fold too
    EXPECT_TRUE(LevelEntryNamesClash("\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF"));  // and those apart from the rest
    EXPECT_FALSE(LevelEntryNamesClash("level.pcx", "level.pc"));
}

void NoteFault(void* pContext, LONG lIndex, const char* pszName, const char* pszReason)
{
    auto* pSeen = static_cast<std::vector<std::pair<LONG, std::string>>*>(pContext);
    pSeen->push_back({lIndex, std::string(pszName) + ": " + pszReason});
}

// Clashes are found wherever they stand in the directory, and each is
// told against the first entry of its name; a name may fill its 12 bytes.
TEST_F(LevelEntryCheckTest, FindsEveryFaultyEntryInOrder)
{
    std::vector<ArchiveEntry> entries;
    for (const char* pszName : {"b", "A", "ok", "a", "B", "PRN", "a", "twelve.bytes", "TWELVE.BYTES"})
        entries.push_back({NameField(pszName), {1}});
    WriteBytes("x.dat", AsString(LevelArchive(entries)));
    HFILE hFile = OpenForReading("x.dat");
    LevelDirectory dir;
    ReadLevelDirectory(hFile, &dir);
    _lclose(hFile);
    std::vector<std::pair<LONG, std::string>> seen;
    if (FailLock(1)) {  // a directory that cannot be locked: one fault, no entry compared
        EXPECT_EQ(CheckLevelEntries(&dir, NoteFault, &seen), 1);
        FailLock(0);
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_NE(seen[0].second.find("not enough memory"), std::string::npos) << seen[0].second;
        seen.clear();
    }
    EXPECT_EQ(CheckLevelEntries(&dir, NoteFault, &seen), 5);
    FreeLevelDirectory(&dir);
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0].first, 3);
    EXPECT_NE(seen[0].second.find("entry 1,"), std::string::npos) << seen[0].second;
    EXPECT_EQ(seen[1].first, 4);
    EXPECT_NE(seen[1].second.find("entry 0,"), std::string::npos) << seen[1].second;
    EXPECT_EQ(seen[2].first, 5);
    EXPECT_EQ(seen[3].first, 6);
    EXPECT_NE(seen[3].second.find("entry 1,"), std::string::npos) << seen[3].second;
    EXPECT_EQ(seen[4].first, 8);
    EXPECT_NE(seen[4].second.find("entry 7,"), std::string::npos) << seen[4].second;
}

}  // namespace
