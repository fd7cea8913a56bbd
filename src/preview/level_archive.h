// Level archives: a signed 32-bit entry count, then one 20-byte record per
// entry (a 12-byte name, NUL-ended when shorter; the data's offset from the
// start of the file; its size), then the entries' data.
#pragma once

#include "preview/picture_refusal.h"
#include "vbl_platform.h"

struct PcxClip;
struct PcxPlannedDib;

constexpr UINT kLevelRecordBytes = 20;
constexpr int kLevelNameField = 12;

// The directory of an open archive as far as the file holds it. The table is
// a zero-filled global block owned by this record (FreeLevelDirectory).
struct LevelDirectory {
    HGLOBAL hTable;   // nRecords * 20 bytes as stored; null when empty
    LONG lCount;      // the entry count the file states (0 if unreadable)
    LONG lRecords;    // records the table holds: the stated count, less any
                      // that would lie past the end of the file
    LONG lFileSize;   // size of the whole archive in bytes
    bool bCountRead;  // false when the file is shorter than the count itself
};

// One record, decoded. szName holds at most 11 characters of the name field
// (the 12th byte never takes part), NUL-terminated, in a 14-byte buffer.
struct LevelEntry {
    char szName[14];
    BYTE abField[kLevelNameField];  // the name field as stored
    LONG lOffset;
    LONG lSize;
};

// Reads the directory from the start of hFile; leaves the file open.
void ReadLevelDirectory(HFILE hFile, LevelDirectory* pDir);
void FreeLevelDirectory(LevelDirectory* pDir);

// Decodes record lIndex (0 <= lIndex < lRecords); false outside that range.
bool GetLevelEntry(const LevelDirectory* pDir, LONG lIndex, LevelEntry* pEntry);

// Index of the first entry named exactly "level.pcx", or -1.
LONG FindLevelPcx(const LevelDirectory* pDir);

// Looks up "level.pcx" in an already open archive and decodes it. Takes
// ownership of hFile and closes it on every path. *phDib receives the packed
// DIB or null; *pRefusal (when not null) why there is none. With a clip, the
// DIB holds only the picture's corner that it keeps, and *pPlanned (when not
// null) the whole picture's plan (ReadPcxFileWithReason; all 0 when there is
// no level.pcx).
void ExtractPcxFromArchive(HFILE hFile, HBITMAP* phDib, PictureRefusal* pRefusal, const PcxClip* pClip = nullptr,
                           PcxPlannedDib* pPlanned = nullptr);

// Opens ".\Levels\" + lpszLevelName + ".dat" and decodes its "level.pcx",
// only the corner that pClip keeps when it is not null. The packed DIB's
// global handle is carried in *phDib (null when there is no image). Returns 1
// after an error box when the archive cannot be opened, else 0.
int ExtractLevelPcx(LPCSTR lpszLevelName, HBITMAP* phDib, const PcxClip* pClip = nullptr);
