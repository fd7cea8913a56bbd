// Level archive lookup. The directory is sized from the file itself before
// anything is allocated: a stated entry count is a claim from a stranger, and
// count * 20 computed in 32 bits would wrap into a small table.
#include "preview/level_archive.h"

#include <cstring>

#include "preview/byte_cursor.h"
#include "preview/pcx_decoder.h"

namespace {

const char kLevelDirPrefix[] = ".\\Levels\\";
const char kLevelExtension[] = ".dat";
const char kPictureEntry[] = "level.pcx";

// Records that lie, even partly, between the count and the end of the file.
// A partly stored last record is kept: its missing bytes read as zero.
LONG RecordsInFile(LONG lFileSize, LONG lCount)
{
    int64_t llHeld = (int64_t{lFileSize} - 4 + kLevelRecordBytes - 1) / kLevelRecordBytes;
    if (llHeld < 0) llHeld = 0;
    return lCount < llHeld ? lCount : static_cast<LONG>(llHeld);
}

// OpenFile copies the full form of the path (current directory included)
// into its OFSTRUCT and refuses one that does not fit there, 128 characters
// with the NUL: a game folder a few levels deep is enough. Such an archive is
// opened with _lopen, which gives the same kind of handle and takes any path
// the system does.
HFILE OpenArchive(LPCSTR lpszPath)
{
    char szFull[OFS_MAXPATHNAME];
    DWORD dwFull = GetFullPathNameA(lpszPath, sizeof(szFull), szFull, nullptr);
    if (dwFull != 0 && dwFull < sizeof(szFull)) {
        OFSTRUCT of;
        return OpenFile(lpszPath, &of, OF_READ);
    }
    return _lopen(lpszPath, OF_READ);
}

}  // namespace

void ReadLevelDirectory(HFILE hFile, LevelDirectory* pDir)
{
    memset(pDir, 0, sizeof(*pDir));
    LONG lEnd = _llseek(hFile, 0, FILE_END);
    pDir->lFileSize = lEnd > 0 ? lEnd : 0;
    _llseek(hFile, 0, FILE_BEGIN);
    BYTE abCount[4];
    if (_lread(hFile, abCount, sizeof(abCount)) != sizeof(abCount)) return;  // counts as empty
    ByteCursor cur = MakeByteCursor(abCount, sizeof(abCount));
    pDir->lCount = CursorI32(&cur);
    pDir->bCountRead = true;
    if (pDir->lCount <= 0) return;
    LONG lRecords = RecordsInFile(pDir->lFileSize, pDir->lCount);
    if (lRecords <= 0) return;
    SIZE_T cbTable = static_cast<SIZE_T>(lRecords) * kLevelRecordBytes;  // < 2^31: the file holds it
    HGLOBAL hTable = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, cbTable);
    if (!hTable) return;  // no table: the directory counts as empty
    BYTE* pTable = static_cast<BYTE*>(GlobalLock(hTable));
    if (!pTable) {
        GlobalFree(hTable);
        return;
    }
    _lread(hFile, pTable, static_cast<UINT>(cbTable));  // short: the rest stays zero
    GlobalUnlock(hTable);
    pDir->hTable = hTable;
    pDir->lRecords = lRecords;
}

void FreeLevelDirectory(LevelDirectory* pDir)
{
    if (pDir->hTable) GlobalFree(pDir->hTable);
    pDir->hTable = nullptr;
    pDir->lRecords = 0;
}

bool GetLevelEntry(const LevelDirectory* pDir, LONG lIndex, LevelEntry* pEntry)
{
    memset(pEntry, 0, sizeof(*pEntry));
    if (!pDir->hTable || lIndex < 0 || lIndex >= pDir->lRecords) return false;
    const BYTE* pTable = static_cast<const BYTE*>(GlobalLock(pDir->hTable));
    if (!pTable) return false;
    ByteCursor cur = MakeByteCursor(pTable, static_cast<size_t>(pDir->lRecords) * kLevelRecordBytes);
    CursorSeek(&cur, static_cast<size_t>(lIndex) * kLevelRecordBytes);
    CursorBytes(&cur, pEntry->abField, sizeof(pEntry->abField));
    pEntry->lOffset = CursorI32(&cur);
    pEntry->lSize = CursorI32(&cur);
    GlobalUnlock(pDir->hTable);
    // At most 11 characters: the 12th byte of the field never takes part.
    lstrcpynA(pEntry->szName, reinterpret_cast<LPCSTR>(pEntry->abField), kLevelNameField);
    return !cur.bBad;
}

LONG FindLevelPcx(const LevelDirectory* pDir)
{
    for (LONG i = 0; i < pDir->lRecords; ++i) {
        LevelEntry entry;
        if (GetLevelEntry(pDir, i, &entry) && lstrcmpA(entry.szName, kPictureEntry) == 0) return i;
    }
    return -1;
}

void ExtractPcxFromArchive(HFILE hFile, HBITMAP* phDib, PictureRefusal* pRefusal, const PcxClip* pClip,
                           PcxPlannedDib* pPlanned)
{
    PictureRefusal eRefusal = kPictureMade;
    *phDib = nullptr;
    if (pPlanned) *pPlanned = {0, 0, 0};
    LevelDirectory dir;
    ReadLevelDirectory(hFile, &dir);
    LevelEntry entry;
    LONG lIndex = FindLevelPcx(&dir);
    if (lIndex >= 0 && GetLevelEntry(&dir, lIndex, &entry)) {
        _llseek(hFile, entry.lOffset, FILE_BEGIN);
        // The decoder owns the file from here and closes it.
        *phDib =
            static_cast<HBITMAP>(ReadPcxFileWithReason(hFile, entry.lOffset, entry.lSize, &eRefusal, pClip, pPlanned));
    } else {
        eRefusal = dir.lRecords > 0 ? kRefuseNoLevelPcx : kRefuseEmptyDirectory;
        _lclose(hFile);
    }
    FreeLevelDirectory(&dir);
    if (pRefusal) *pRefusal = eRefusal;
}

int ExtractLevelPcx(LPCSTR lpszLevelName, HBITMAP* phDib, const PcxClip* pClip)
{
    *phDib = nullptr;
    SIZE_T cbPath =
        sizeof(kLevelDirPrefix) - 1 + static_cast<SIZE_T>(lstrlenA(lpszLevelName)) + sizeof(kLevelExtension);
    LPSTR lpszPath = static_cast<LPSTR>(GlobalAlloc(GPTR, cbPath));
    HFILE hFile = HFILE_ERROR;
    if (lpszPath) {
        lstrcpyA(lpszPath, kLevelDirPrefix);
        lstrcatA(lpszPath, lpszLevelName ? lpszLevelName : "");
        lstrcatA(lpszPath, kLevelExtension);
        hFile = OpenArchive(lpszPath);
        GlobalFree(lpszPath);
    }
    if (hFile == HFILE_ERROR) {
        MessageBoxA(nullptr, "Erreur en ouvrant le fichier du niveau", "Erreur", MB_OK);
        return 1;
    }
    ExtractPcxFromArchive(hFile, phDib, nullptr, pClip);
    return 0;
}
