// check: what the launcher and unpack will make of level archives, one
// problem per line in the form compilers use ("FILE: error: reason"), read by
// the launcher's own lookup, decoder and bitmap test.
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "commands.h"
#include "entry_names.h"
#include "preview/level_archive.h"
#include "preview/level_entry_check.h"
#include "preview/preview_area.h"
#include "tool_files.h"

namespace {

// A hostile directory can hold thousands of bad records: past this many
// problems a file's report ends with a count, unless --all asks for them all.
constexpr long kProblemsShown = 20;

struct CheckedFile {
    const char* pszPath;
    bool bError;
    bool bAll;
    long lProblems;
};

void Say(CheckedFile* pFile, bool bError, const char* pszFormat, ...) __attribute__((format(printf, 3, 4)));

void Say(CheckedFile* pFile, bool bError, const char* pszFormat, ...)
{
    pFile->bError = pFile->bError || bError;
    if (++pFile->lProblems > kProblemsShown && !pFile->bAll) return;
    PrintTo(stdout, "%s: %s: ", pFile->pszPath, bError ? "error" : "warning");
    va_list args;
    va_start(args, pszFormat);
    VPrintTo(stdout, pszFormat, args);
    va_end(args);
    PrintTo(stdout, "\n");
}

void SayEntryFault(void* pContext, LONG lIndex, const char* pszName, const char* pszReason)
{
    Say(static_cast<CheckedFile*>(pContext), true, "entry %ld '%s': %s", static_cast<long>(lIndex),
        ReadableEntryName(pszName).c_str(), pszReason);
}

// Entry names are Windows-1252: a byte it leaves undefined names no
// character, so that unpack can make no file of that name on Linux.
void CheckNameBytes(const LevelDirectory& dir, LONG lIndex, CheckedFile* pFile)
{
    LevelEntry entry;
    if (!GetLevelEntry(&dir, lIndex, &entry)) return;
    char szName[kEntryFileNameChars];
    LevelEntryFileName(&entry, szName);
    for (const char* p = szName; *p; ++p) {
        const unsigned char b = static_cast<unsigned char>(*p);
        if (Cp1252Char(b) != 0) continue;
        Say(pFile, true, "entry %ld '%s': its name holds the byte \\x%02X, which is no character of Windows-1252",
            static_cast<long>(lIndex), ReadableEntryName(szName).c_str(), b);
        return;
    }
}

// The directory as unpack reads it: the records the file holds, each entry.
void CheckDirectory(HFILE hFile, CheckedFile* pFile)
{
    LevelDirectory dir;
    ReadLevelDirectory(hFile, &dir);
    if (!dir.bCountRead) Say(pFile, true, "the file is too short to hold an entry count");
    if (dir.lCount > dir.lRecords) {
        Say(pFile, false, "the entry count is %ld but the file holds only %ld directory records",
            static_cast<long>(dir.lCount), static_cast<long>(dir.lRecords));
    }
    CheckLevelEntries(&dir, SayEntryFault, pFile);
    for (LONG i = 0; i < dir.lRecords; ++i) CheckNameBytes(dir, i, pFile);
    FreeLevelDirectory(&dir);
}

// The decoded picture as the viewer takes it: its bitmap step, and the part
// of the dialog it fills.
void CheckPicture(const DecodedPicture& pic, CheckedFile* pFile)
{
    if (pic.pszRefusal) {
        Say(pFile, true, "the launcher cannot make a bitmap of level.pcx (%ld x %ld, %u bits per pixel): %s",
            static_cast<long>(pic.lWidth), static_cast<long>(pic.lHeight), pic.wBitCount, pic.pszRefusal);
        return;
    }
    const long lCutRight = static_cast<long>(pic.lWidth) - kPreviewShownWidth;
    const long lCutBottom = static_cast<long>(pic.lHeight) - kPreviewShownHeight;
    if (lCutRight <= 0 && lCutBottom <= 0) return;
    char szRight[64] = "";
    char szBottom[64] = "";
    if (lCutRight > 0) snprintf(szRight, sizeof(szRight), "%ld columns on the right", lCutRight);
    if (lCutBottom > 0) snprintf(szBottom, sizeof(szBottom), "%ld rows at the bottom", lCutBottom);
    Say(pFile, false, "level.pcx is %ld x %ld pixels; the viewer shows %d x %d at (%d, %d) and cuts off %s%s%s",
        static_cast<long>(pic.lWidth), static_cast<long>(pic.lHeight), kPreviewShownWidth, kPreviewShownHeight,
        kPreviewLeft, kPreviewTop, szRight, lCutRight > 0 && lCutBottom > 0 ? " and " : "", szBottom);
}

// Reports the problems of one archive; true when any is an error.
bool CheckArchive(const char* pszPath, bool bAll)
{
    CheckedFile file = {pszPath, false, bAll, 0};
    HFILE hFile = _lopen(pszPath, OF_READ);
    if (hFile == HFILE_ERROR) {
        Say(&file, true, "cannot open the file");
        return true;
    }
    if (_llseek(hFile, 0, FILE_END) < 0) {
        _lclose(hFile);
        Say(&file, true, "the file is larger than 2 GiB or cannot be read");
        return true;
    }
    CheckDirectory(hFile, &file);
    HBITMAP hDib = nullptr;
    PictureRefusal eRefusal = kPictureMade;
    PcxPlannedDib planned;
    ExtractPcxFromArchive(hFile, &hDib, &eRefusal, nullptr, &planned);  // closes hFile
    if (hDib) {
        CheckPicture(InspectDecoded(reinterpret_cast<HGLOBAL>(hDib)), &file);
        GlobalFree(reinterpret_cast<HGLOBAL>(hDib));
    } else if (eRefusal == kRefuseBitCount) {
        CheckPicture(InspectPlanned(planned), &file);
    } else {
        Say(&file, true, "the launcher shows no picture: %s", PictureRefusalText(eRefusal));
    }
    if (file.lProblems > kProblemsShown && !bAll) {
        PrintTo(stdout, "%s: note: %ld more problems (vbltool check --all %s lists them)\n", pszPath,
                file.lProblems - kProblemsShown, pszPath);
    }
    return file.bError;
}

}  // namespace

int RunCheck(int argc, char** argv)
{
    bool bAll = false;
    const std::vector<const char*> files = ArgsWithout(argc, argv, "--all", &bAll);
    if (files.empty()) {
        PrintTo(stderr, "usage: vbltool check [--all] FILE...\n");
        return 2;
    }
    bool bError = false;
    for (const char* pszFile : files) bError = CheckArchive(pszFile, bAll) || bError;
    return bError ? 1 : 0;
}
