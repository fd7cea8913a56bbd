// Entry names in the game's code page (Windows-1252) and file names in the
// system's (UTF-8 on Linux, the ANSI code page on Windows): the conversions
// both ways, and archives that pack makes byte for byte alike on every system,
// accented names included (this program runs natively and under Wine).
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "entry_names.h"
#include "test_support.h"

namespace {

// A name written in UTF-8 here, as the system's file calls take it.
std::string Local(const std::string& utf8)
{
#ifdef _WIN32
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                        &wide[0], static_cast<int>(wide.size()))));
    std::string ansi;
    EXPECT_TRUE(AnsiFromWide(wide, &ansi)) << utf8 << ": not in this Windows's code page";
    return ansi;
#else
    return utf8;
#endif
}

TEST(EntryNamesTest, Cp1252BytesAndCharacters)
{
    const struct {
        unsigned char b;
        unsigned uChar;  // 0: undefined
    } kRows[] = {{'A', 'A'},     {0x7F, 0x7F}, {0x80, 0x20AC}, {0x81, 0},      {0x8A, 0x0160},
                 {0x8D, 0},      {0x8F, 0},    {0x90, 0},      {0x99, 0x2122}, {0x9D, 0},
                 {0x9F, 0x0178}, {0xA0, 0xA0}, {0xE2, 0xE2},   {0xFF, 0xFF}};
    for (const auto& row : kRows) {
        EXPECT_EQ(Cp1252Char(row.b), row.uChar) << std::hex << int{row.b};
        if (row.uChar != 0) {
            EXPECT_EQ(Cp1252Byte(row.uChar), row.b) << std::hex << row.uChar;
        }
    }
    for (unsigned uChar : {0x81u, 0x9Du, 0x141u, 0x2028u, 0xFFFDu, 0x1F600u}) {
        EXPECT_EQ(Cp1252Byte(uChar), -1) << std::hex << uChar;
    }
}

TEST(EntryNamesTest, FileNamesBecomeCp1252EntryNames)
{
    const struct {
        const char* pszUtf8;
        const char* pszEntry;  // null: refused
        const char* pszWhy;    // part of the reason
    } kRows[] = {
        {"castle.map", "castle.map", ""},
        {"Ch\xC3\xA2teau.map", "Ch\xE2teau.map", ""},
        {"\xC5\x92uvre\xE2\x82\xAC.txt", "\x8Cuvre\x80.txt", ""},
        {"\xC3\xBF\xC3\xBF.pcx", "\xFF\xFF.pcx", ""},
        {"\xC5\x81\xC3\xB3"
         "d\xC5\xBA.map",
         nullptr, "'\xC5\x81', which the game's code page (Windows-1252) cannot hold"},
        {"snow\xE2\x98\x83.map", nullptr, "'\xE2\x98\x83', which the game's code page"},
    };
    for (const auto& row : kRows) {
        std::string strEntry, strWhy;
#ifdef _WIN32
        if (!row.pszEntry) continue;  // refused before: the code page cannot hold it either
#endif
        const bool bTaken = EntryNameFromLocal(Local(row.pszUtf8), &strEntry, &strWhy);
        EXPECT_EQ(bTaken, row.pszEntry != nullptr) << row.pszUtf8 << ": " << strWhy;
        if (bTaken && row.pszEntry) {
            EXPECT_EQ(strEntry, row.pszEntry) << row.pszUtf8;
        }
        if (!bTaken) {
            EXPECT_NE(strWhy.find(row.pszWhy), std::string::npos) << strWhy;
        }
        if (!bTaken || !row.pszEntry) continue;
        std::string strBack;
        EXPECT_TRUE(LocalNameFromEntry(strEntry, &strBack, &strWhy)) << strWhy;
        EXPECT_EQ(strBack, Local(row.pszUtf8));
    }
}

#ifndef _WIN32
// What is not UTF-8 names no character: refused, never stored as it is.
TEST(EntryNamesTest, InvalidUtf8IsRefused)
{
    for (const char* pszName : {"Ch\xE2tea.map", "cut\xC3", "over\xC0\xAF", "over\xE0\x80\xAF", "half\xED\xA0\x80",
                                "far\xF4\x90\x80\x80", "lone\x80", "five\xF8\x88\x80\x80\x80"}) {
        std::string strEntry, strWhy;
        EXPECT_FALSE(EntryNameFromLocal(pszName, &strEntry, &strWhy)) << pszName;
        EXPECT_EQ(strWhy, "its name is not valid UTF-8");
    }
    // Past U+FFFF: valid, and named in the reason whole.
    std::string strEntry, strWhy;
    EXPECT_FALSE(EntryNameFromLocal("smile\xF0\x9F\x98\x80", &strEntry, &strWhy));
    EXPECT_EQ(strWhy, "its name holds '\xF0\x9F\x98\x80', which the game's code page (Windows-1252) cannot hold");
}
#endif

TEST(EntryNamesTest, UndefinedBytesNameNoFile)
{
    for (const char* pszEntry : {"a\x81.map", "\x8D", "x\x8F", "\x90y", "z\x9D"}) {
        std::string strLocal, strWhy;
        EXPECT_FALSE(LocalNameFromEntry(pszEntry, &strLocal, &strWhy)) << pszEntry;
        EXPECT_NE(strWhy.find("which is no character of Windows-1252"), std::string::npos) << strWhy;
    }
}

TEST(EntryNamesTest, ReadableNamesAndTheirColumns)
{
    const struct {
        const char* pszEntry;
        std::string strShown;
        int nColumns;
    } kRows[] = {
        {"level.pcx", "level.pcx", 9},
        {"Ch\xE2tea.map", Local("Ch\xC3\xA2tea.map"), 10},
        {"\x80\x9F", Local("\xE2\x82\xAC\xC5\xB8"), 2},
        {"bell\a", "bell\\x07", 8},
        {"a\x81z", "a\\x81z", 6},
        {"del\x7F", "del\\x7F", 7},
    };
    for (const auto& row : kRows) {
        int nColumns = -1;
        EXPECT_EQ(ReadableEntryName(row.pszEntry, &nColumns), row.strShown);
        EXPECT_EQ(nColumns, row.nColumns) << row.strShown;
    }
}

std::string Contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string Le32(uint32_t v)
{
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

using PackedBytesTest = ScratchDirTest;

// pack on Linux and on Windows: one archive, byte for byte, the names in
// Windows-1252 whatever the system's encoding.
TEST_F(PackedBytesTest, EveryBuildWritesTheSameArchive)
{
    const struct {
        std::vector<const char*> files;  // UTF-8 names, each file holding its own name
        std::string strNames;            // the 12-byte name fields, in order
    } kRows[] = {
        {{"level.pcx", "castle.map"}, std::string("level.pcx\0\0\0castle.map\0\0", 24)},
        {{"Ch\xC3\xA2teau.map"}, std::string("Ch\xE2teau.map\0", 12)},
        {{"\xC3\x89lan\xE2\x82\xAC.txt", "\xC3\xB1.pcx", "level.pcx"},
         std::string("\xC9lan\x80.txt\0\0\0\xF1.pcx\0\0\0\0\0\0\0level.pcx\0\0\0", 36)},
    };
    for (const auto& row : kRows) {
        std::vector<std::string> args = {"out.dat"};
        std::string strData;
        for (const char* pszFile : row.files) {
            // By the ANSI calls, as vbltool opens it (WriteBytes's own path
            // conversion is not the code page's).
            FILE* pFile = fopen(Local(pszFile).c_str(), "wb");
            ASSERT_NE(pFile, nullptr) << pszFile;
            fputs(pszFile, pFile);
            fclose(pFile);
            args.push_back(Local(pszFile));
            strData += pszFile;
        }
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(&arg[0]);
        ASSERT_EQ(RunPack(static_cast<int>(argv.size()), argv.data()), 0) << args[1];
        std::string strWant = Le32(static_cast<uint32_t>(row.files.size()));
        uint32_t uOffset = 4 + 20 * static_cast<uint32_t>(row.files.size());
        for (size_t i = 0; i < row.files.size(); ++i) {
            const uint32_t uSize = static_cast<uint32_t>(strlen(row.files[i]));
            strWant += row.strNames.substr(12 * i, 12) + Le32(uOffset) + Le32(uSize);
            uOffset += uSize;
        }
        EXPECT_EQ(Contents("out.dat"), strWant + strData) << args[1];
    }
}

}  // namespace
