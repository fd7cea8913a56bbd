// Level archive lookup: which entry is decoded, what never matches, and
// directories that lie about their size.
#include <cstring>
#include <filesystem>

#include "preview/byte_cursor.h"
#include "preview/level_archive.h"
#include "preview/pcx_decoder.h"
#include "test_support.h"

namespace {

class LevelArchiveTest : public ScratchDirTest {};

// A 4 x 1 8-bit picture whose first pixel is the tag, to tell entries apart.
Bytes TaggedPcx(uint8_t tag)
{
    PcxFields f;
    f.xmax = 3;
    f.bytesPerLine = 4;
    f.palette[0] = 1;
    return PcxFile(f, Bytes{tag, 2, 3, 4});
}

struct Outcome {
    int result;
    int tag;  // first pixel of the decoded picture, -1 when there is none
    unsigned long boxes;
    std::vector<std::string> texts;
};

// Runs ExtractLevelPcx on levels/<name>.dat (written in lower case; the
// lookup asks for ".\Levels\") holding the given bytes.
Outcome Extract(const std::string& name, const Bytes* pArchive)
{
    std::string path = "levels/" + name + ".dat";
    if (pArchive) WriteBytes(path, AsString(*pArchive));
    long lBlocks = LiveBlocks();
    MessageBoxProbe probe;
    StartMessageBoxProbe(&probe);
    HBITMAP hDib = reinterpret_cast<HBITMAP>(1);
    Outcome out;
    out.result = ExtractLevelPcx(name.c_str(), &hDib);
    out.boxes = StopMessageBoxProbe(&probe, &out.texts);
    out.tag = -1;
    if (hDib) {
        DibView v = TakeDib(static_cast<HGLOBAL>(hDib));
        if (!v.pixels.empty()) out.tag = v.TopRow(0)[0];
    }
    if (lBlocks >= 0) {
        EXPECT_EQ(LiveBlocks(), lBlocks);
    }
    if (pArchive) {
        EXPECT_TRUE(AllFilesClosed(path));
    }
    return out;
}

Bytes ArchiveOf(const std::vector<std::pair<std::string, Bytes>>& entries)
{
    std::vector<ArchiveEntry> list;
    for (const auto& e : entries) list.push_back({NameField(e.first), e.second});
    return LevelArchive(list);
}

}  // namespace

TEST_F(LevelArchiveTest, FindsTheFirstEntryNamedLevelPcx)
{
    Bytes a = ArchiveOf({{"music.mod", Bytes(50, 0xAA)}, {"level.pcx", TaggedPcx(7)}, {"level.pcx", TaggedPcx(9)}});
    Outcome o = Extract("castle", &a);
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.tag, 7);
    EXPECT_EQ(o.boxes, 0u);
}

TEST_F(LevelArchiveTest, OffsetsCountFromTheStartOfTheFile)
{
    Bytes a = ArchiveOf({{"a", Bytes(3, 1)}, {"b", Bytes(5, 2)}, {"level.pcx", TaggedPcx(4)}});
    // Rewrite the records so the picture comes first, right after the directory.
    Bytes pic = TaggedPcx(4);
    Bytes b(64, 0);
    PutLe32(&b, 0, 3);
    Bytes names[3] = {NameField("level.pcx"), NameField("a"), NameField("b")};
    uint32_t offsets[3] = {64, static_cast<uint32_t>(64 + pic.size()), static_cast<uint32_t>(67 + pic.size())};
    uint32_t sizes[3] = {static_cast<uint32_t>(pic.size()), 3, 5};
    for (int i = 0; i < 3; ++i) {
        memcpy(&b[4 + 20 * i], names[i].data(), 12);
        PutLe32(&b, 4 + 20 * i + 12, offsets[i]);
        PutLe32(&b, 4 + 20 * i + 16, sizes[i]);
    }
    b.insert(b.end(), pic.begin(), pic.end());
    b.insert(b.end(), 8, 0);
    EXPECT_EQ(Extract("first", &b).tag, 4);
    EXPECT_EQ(Extract("third", &a).tag, 4);
}

TEST_F(LevelArchiveTest, NameFieldRules)
{
    Bytes afterNul = NameField("level.pcx");
    afterNul[10] = 'Z', afterNul[11] = 'Q';    // ignored after the NUL
    Bytes twelve = NameField("level.pcxABC");  // no NUL: never matches
    Bytes elevenThenByte = NameField("level.pcx");
    elevenThenByte[9] = 'x', elevenThenByte[10] = 'y', elevenThenByte[11] = 0;
    struct Case {
        Bytes field;
        bool matches;
    } cases[] = {
        {afterNul, true},
        {NameField("LEVEL.PCX"), false},
        {NameField("Level.pcx"), false},
        {NameField("level.pcx "), false},
        {NameField("level.pc"), false},
        {twelve, false},
        {elevenThenByte, false},
    };
    for (const Case& c : cases) {
        Bytes a = LevelArchive({{c.field, TaggedPcx(5)}});
        Outcome o = Extract("names", &a);
        EXPECT_EQ(o.result, 0);
        EXPECT_EQ(o.tag, c.matches ? 5 : -1) << std::string(c.field.begin(), c.field.end()).c_str();
        EXPECT_EQ(o.boxes, 0u);
    }
}

TEST_F(LevelArchiveTest, EntryCountsThatLie)
{
    Bytes a = ArchiveOf({{"x", Bytes(4, 0)}, {"level.pcx", TaggedPcx(6)}});
    struct Case {
        uint32_t count;
        int tag;
    } cases[] = {
        {0, -1},            // empty directory
        {0x80000000u, -1},  // negative
        {0xFFFFFFFFu, -1},  // -1
        {1, -1},            // the picture's record is not counted
        {3, 6},             // more records than the file holds
        {0x0CCCCCCDu, 6},   // count * 20 wraps to 4 in 32 bits
        {0x7FFFFFFFu, 6},
    };
    for (const Case& c : cases) {
        Bytes b = a;
        PutLe32(&b, 0, c.count);
        Outcome o = Extract("liar", &b);
        EXPECT_EQ(o.result, 0) << c.count;
        EXPECT_EQ(o.tag, c.tag) << c.count;
        EXPECT_EQ(o.boxes, 0u);
    }
}

TEST_F(LevelArchiveTest, ShortFilesAndDirectories)
{
    // Shorter than the count, and a directory that ends inside the record.
    for (size_t n : {size_t{0}, size_t{3}}) {
        Bytes b(n, 1);
        EXPECT_EQ(Extract("short", &b).tag, -1);
    }
    Bytes a = ArchiveOf({{"level.pcx", TaggedPcx(1)}});
    Bytes cut(a.begin(), a.begin() + 4 + 12);  // the name only
    Outcome o = Extract("cut", &cut);
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.tag, -1);
    // A directory that cannot be locked counts as empty too.
    if (FailLock(1)) {
        EXPECT_EQ(Extract("locked", &a).tag, -1);
        FailLock(0);
    }
}

// The fields of a record are read with a cursor: a read or seek past its
// end yields zeros and marks it bad, and it stays bad.
TEST(ByteCursor, ReadsPastTheEndYieldZerosAndMarkItBad)
{
    const uint8_t abData[] = {1, 2, 3, 4, 5};
    ByteCursor cur = MakeByteCursor(abData, sizeof(abData));
    EXPECT_EQ(CursorI32(&cur), 0x04030201);
    uint8_t abOut[2] = {9, 9};
    CursorBytes(&cur, abOut, sizeof(abOut));
    EXPECT_TRUE(cur.bBad);
    EXPECT_EQ(abOut[0] + abOut[1], 0);
    EXPECT_EQ(CursorU8(&cur), 0);  // the byte left is not read either
    ByteCursor seek = MakeByteCursor(abData, sizeof(abData));
    CursorSeek(&seek, 6);
    EXPECT_TRUE(seek.bBad);
    CursorSeek(&seek, 0);
    EXPECT_EQ(CursorU8(&seek), 0);
}

TEST_F(LevelArchiveTest, EntriesPointingOutsideTheFile)
{
    Bytes a = ArchiveOf({{"level.pcx", TaggedPcx(3)}});
    struct Case {
        uint32_t offset, size;
    } cases[] = {{0x7FFFFFF0u, 100}, {0xFFFFFF00u, 100}, {0x80000000u, 0x7FFFFFFFu}, {24, 0xFFFFFFFFu}, {0, 100}};
    for (const Case& c : cases) {
        Bytes b = a;
        PutLe32(&b, 16, c.offset);
        PutLe32(&b, 20, c.size);
        Outcome o = Extract("outside", &b);
        EXPECT_EQ(o.result, 0);
        if (c.offset != 24) {
            EXPECT_EQ(o.tag, -1) << c.offset;
        }
    }
}

TEST_F(LevelArchiveTest, MissingArchiveShowsOneMessage)
{
    Outcome o = Extract("absent", nullptr);
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.tag, -1);
    EXPECT_EQ(o.boxes, 1u);
    bool bFound = false;
    for (const std::string& t : o.texts) bFound = bFound || t == "Erreur en ouvrant le fichier du niveau";
    EXPECT_TRUE(bFound);
}

TEST_F(LevelArchiveTest, LongLevelNameOpensItsOwnArchive)
{
    // From a game folder past 150 characters, where OpenFile takes no path: a
    // name of 40 characters, and the longest whose full path
    // "<folder>\Levels\<name>.dat" stays below MAX_PATH.
    std::string dir = "game";
    while (std::filesystem::current_path().string().size() + dir.size() < 160) dir += "/deeper-folder";
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    const size_t nFolder = std::filesystem::current_path().string().size();
    ASSERT_GE(nFolder, 150u);
    for (size_t nLength : {size_t{40}, MAX_PATH - 1 - nFolder - 12}) {
        std::string name(nLength, 'n');
        name[0] = 'A';
        Bytes a = ArchiveOf({{"level.pcx", TaggedPcx(8)}});
        Outcome o = Extract(name, &a);
        EXPECT_EQ(o.result, 0) << nLength;
        EXPECT_EQ(o.tag, 8) << nLength;
        EXPECT_EQ(o.boxes, 0u) << nLength;
    }
}

TEST_F(LevelArchiveTest, DirectoryAsVbltoolListsIt)
{
    Bytes a = ArchiveOf({{"readme.txt", Bytes(10, 'r')}, {"level.pcx", TaggedPcx(2)}});
    PutLe32(&a, 0, 5);
    WriteBytes("levels/dir.dat", AsString(a));
    HFILE hFile = OpenForReading("levels/dir.dat");
    LevelDirectory dir;
    ReadLevelDirectory(hFile, &dir);
    _lclose(hFile);
    EXPECT_TRUE(dir.bCountRead);
    EXPECT_EQ(dir.lCount, 5);
    EXPECT_EQ(dir.lFileSize, static_cast<LONG>(a.size()));
    // The file has room for more than two records' bytes: all of it is taken
    // as directory, up to the stated count.
    EXPECT_EQ(dir.lRecords, 5);
    LevelEntry e;
    ASSERT_TRUE(GetLevelEntry(&dir, 1, &e));
    EXPECT_STREQ(e.szName, "level.pcx");
    EXPECT_EQ(e.lOffset, 44 + 10);
    EXPECT_EQ(FindLevelPcx(&dir), 1);
    EXPECT_FALSE(GetLevelEntry(&dir, 5, &e));
    EXPECT_FALSE(GetLevelEntry(&dir, -1, &e));
    FreeLevelDirectory(&dir);
    EXPECT_EQ(dir.hTable, nullptr);
}
