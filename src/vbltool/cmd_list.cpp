// list: the directory of a level archive as the launcher reads it, with the
// entries that could not work pointed out.
#include <cstdio>
#include <string>

#include "commands.h"
#include "entry_names.h"
#include "preview/level_archive.h"
#include "preview/level_entry_check.h"
#include "tool_files.h"

namespace {

// The stored name field, up to its NUL, readable in the system's encoding
// (unprintable bytes escaped), padded to its column by characters.
void PrintNameField(const LevelEntry& entry)
{
    char szName[kEntryFileNameChars];
    LevelEntryFileName(&entry, szName);
    int nWidth = 0;
    const std::string strName = ReadableEntryName(szName, &nWidth);
    PrintTo(stdout, "%s%*s", strName.c_str(), nWidth < 14 ? 14 - nWidth : 1, "");
}

void PrintEntry(const LevelDirectory& dir, LONG lIndex, LONG lPreview)
{
    LevelEntry entry;
    if (!GetLevelEntry(&dir, lIndex, &entry)) return;
    PrintTo(stdout, "%6ld  ", static_cast<long>(lIndex));
    PrintNameField(entry);
    PrintTo(stdout, "%11ld %11ld", static_cast<long>(entry.lOffset), static_cast<long>(entry.lSize));
    long long llEnd = static_cast<long long>(entry.lOffset) + entry.lSize;
    if (entry.lOffset < 0 || entry.lSize < 0 || llEnd > dir.lFileSize) PrintTo(stdout, "  OUTSIDE THE FILE");
    bool bHasNul = false;
    for (int i = 0; i < kLevelNameField; ++i) bHasNul = bHasNul || entry.abField[i] == 0;
    if (!bHasNul) PrintTo(stdout, "  (12-character name: never matches)");
    if (lIndex == lPreview) PrintTo(stdout, "  <- preview picture");
    PrintTo(stdout, "\n");
}

}  // namespace

int RunList(int argc, char** argv)
{
    LONG lSize = 0;
    int nStatus = 0;
    HFILE hFile = OpenCommandInput(argc, argv, 1, "list LEVEL.dat", &lSize, &nStatus);
    if (hFile == HFILE_ERROR) return nStatus;
    LevelDirectory dir;
    ReadLevelDirectory(hFile, &dir);
    _lclose(hFile);
    if (!dir.bCountRead) {
        PrintTo(stderr, "vbltool: %s: file too short to hold an entry count\n", argv[0]);
        return 1;
    }
    PrintTo(stdout, "%s: %ld bytes, entry count %ld\n", argv[0], static_cast<long>(dir.lFileSize),
            static_cast<long>(dir.lCount));
    if (dir.lCount > dir.lRecords) {
        PrintTo(stdout, "warning: the file holds only %ld of the %ld directory records\n",
                static_cast<long>(dir.lRecords), static_cast<long>(dir.lCount));
    }
    LONG lPreview = FindLevelPcx(&dir);
    PrintTo(stdout, "%6s  %-14s%11s %11s\n", "#", "name", "offset", "size");
    for (LONG i = 0; i < dir.lRecords; ++i) PrintEntry(dir, i, lPreview);
    if (lPreview < 0) PrintTo(stdout, "no entry named level.pcx: the launcher shows no preview\n");
    FreeLevelDirectory(&dir);
    return 0;
}
