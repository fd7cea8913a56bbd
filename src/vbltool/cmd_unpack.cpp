// unpack: writes every entry of a level archive to a file of its own name in
// one folder, all or nothing. The archive comes from a stranger: every entry
// is checked first, and one bad entry means nothing is written. Which
// existing files --force may replace is decided then, once. Each entry is
// then written to a fresh scratch file in the folder, and only when all are
// written are they renamed into place; a file being replaced is first renamed
// aside, not removed, so that any failure (a full disk, a name that turned
// out to be another name of a file just written) puts the folder back as it
// was. Files are only ever created fresh, never written through a link, and
// flushed to the disk before they are renamed. Scratch names are never those
// of entries (scratch_files.h).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "commands.h"
#include "file_descriptors.h"
#include "entry_names.h"
#include "file_moves.h"
#include "file_system.h"
#include "preview/level_entry_check.h"
#include "tool_files.h"

namespace {

constexpr LONG kCopyChunk = 65536;

struct UnpackItem {
    std::string strPath;  // DIR/NAME
    LONG lOffset;
    LONG lSize;
    bool bReplace;          // --force, and a file of this name was there when checked
    std::string strTemp;    // the entry's data until it is renamed to strPath
    std::string strBackup;  // the file it replaces, renamed aside until the end
    bool bPlaced;           // strPath holds the entry's data
};

// One run, all it changed in the folder, for putting it back.
struct Unpacking {
    std::string strFolder;
    bool bMadeFolder;
    ScratchNames scratch;  // in strFolder, never an entry's name
    std::vector<UnpackItem> items;
};

void ReportFault(void* pContext, LONG lIndex, const char* pszName, const char* pszReason)
{
    PrintTo(stderr, "vbltool: %s: entry %ld '%s': %s\n", static_cast<const char*>(pContext), static_cast<long>(lIndex),
            ReadableEntryName(pszName).c_str(), pszReason);
}

bool Fail(const UnpackItem& item, const char* pszWhat, const char* pszWhy)
{
    PrintTo(stderr, "vbltool: %s: %s%s%s\n", item.strPath.c_str(), pszWhat, pszWhy ? ": " : "", pszWhy ? pszWhy : "");
    return false;
}

// Every entry's target path, or false when any entry is unsafe to write.
bool PlanUnpack(const LevelDirectory& dir, const char* pszArchive, Unpacking* pRun)
{
    if (CheckLevelEntries(&dir, ReportFault, const_cast<char*>(pszArchive)) != 0) return false;
    bool bSound = true;
    for (LONG i = 0; i < dir.lRecords; ++i) {
        LevelEntry entry;
        GetLevelEntry(&dir, i, &entry);
        char szName[kEntryFileNameChars];
        LevelEntryFileName(&entry, szName);
        // Entry names are Windows-1252; file names are the system's.
        std::string strFile, strWhy;
        if (!LocalNameFromEntry(szName, &strFile, &strWhy)) {
            ReportFault(const_cast<char*>(pszArchive), i, szName, strWhy.c_str());
            bSound = false;
            continue;
        }
        pRun->items.push_back(
            UnpackItem{JoinPath(pRun->strFolder, strFile.c_str()), entry.lOffset, entry.lSize, false, "", "", false});
        pRun->scratch.avoided.push_back(strFile);
    }
    return bSound;
}

// The checking pass: whether a file may be made at the item's path, and
// whether what is there now is to be replaced. Only a file (or link) of the
// entry's own name is replaced, never a folder or a file whose short name
// the entry's name merely is, nor a FIFO, a device or a file the user may
// not write.
bool MayWrite(UnpackItem* pItem, bool bForce)
{
    const char* pszPath = pItem->strPath.c_str();
    if (!PathExists(pszPath)) return true;
    if (!bForce) return Fail(*pItem, "already exists (--force replaces it)", nullptr);
    const char* pszRefusal = ReplaceRefusal(pszPath);
    if (pszRefusal) return Fail(*pItem, pszRefusal, nullptr);
    std::string strStored;
    if (IsShortNamePath(pszPath, &strStored)) {
        PrintTo(stderr, "vbltool: %s: is another name of '%s', which --force does not replace\n", pszPath,
                strStored.c_str());
        return false;
    }
    pItem->bReplace = true;
    return true;
}

// Copies one entry's data into a fresh scratch file of the folder. The
// descriptor has one owner, which closes it on every path, bad_alloc included,
// so that the roll-back can always remove the file (on Windows not while open).
bool WriteScratch(HFILE hArchive, Unpacking* pRun, UnpackItem* pItem)
{
    DescriptorOwner fd(CreateScratchFile(&pRun->scratch, &pItem->strTemp));
    if (fd.Get() < 0) {
        pItem->strTemp.clear();
        return Fail(*pItem, "cannot create a temporary file for it", strerror(errno));
    }
    std::string strFault;
    if (_llseek(hArchive, pItem->lOffset, FILE_BEGIN) != pItem->lOffset) strFault = "cannot read it from the archive";
    std::vector<BYTE> buffer(kCopyChunk);
    for (LONG lLeft = pItem->lSize; strFault.empty() && lLeft > 0; lLeft -= kCopyChunk) {
        const UINT cb = static_cast<UINT>(lLeft < kCopyChunk ? lLeft : kCopyChunk);
        if (_lread(hArchive, buffer.data(), cb) != cb) {
            strFault = "cannot read it from the archive";
            break;
        }
        errno = ENOSPC;  // what a short write without an error means
        if (write(fd.Get(), buffer.data(), cb) != static_cast<int>(cb)) {
            strFault = std::string("cannot write it: ") + strerror(errno);
        }
    }
    // A fresh file's mode, now that its data is whole (an entry never takes
    // over the mode of a file it replaces).
    if (strFault.empty() && !SetFinalMode(fd.Get(), pItem->strTemp, OutputTarget())) {
        strFault = std::string("cannot set its permissions: ") + strerror(errno);
    }
    if (strFault.empty() && !FlushToDisk(fd.Get())) strFault = std::string("cannot write it: ") + strerror(errno);
    if (!fd.Close() && strFault.empty()) strFault = std::string("cannot write it: ") + strerror(errno);
    return strFault.empty() || Fail(*pItem, strFault.c_str(), nullptr);
}

// Renames the item's scratch file to its path, the file it replaces first
// renamed aside. Nothing that was not there when checked is replaced.
bool PlaceItem(Unpacking* pRun, UnpackItem* pItem)
{
    const char* pszPath = pItem->strPath.c_str();
    if (pItem->bReplace && !MoveToScratch(pszPath, &pRun->scratch, &pItem->strBackup)) {
        pItem->strBackup.clear();
        return Fail(*pItem, "cannot rename the existing file aside to replace it", nullptr);
    }
    if (!MoveFileRetrying(pItem->strTemp.c_str(), pszPath, 0)) {
        return Fail(*pItem,
                    PathExists(pszPath) ? "appeared while unpacking (another name of an entry just written?)"
                                        : "cannot rename the temporary file to it",
                    nullptr);
    }
    pItem->strTemp.clear();
    pItem->bPlaced = true;
    return true;
}

// Undoes what one item changed; false when part of it cannot be undone.
bool PutBack(UnpackItem* pItem)
{
    const char* pszPath = pItem->strPath.c_str();
    if (!pItem->strTemp.empty() && !RemoveFileRetrying(pItem->strTemp.c_str())) {
        PrintTo(stderr, "vbltool: %s: cannot remove this temporary file: %s\n", pItem->strTemp.c_str(),
                strerror(errno));
        return false;
    }
    if (!pItem->strBackup.empty()) {
        // Over the entry's data when it was placed: the path is never empty.
        if (!MoveFileRetrying(pItem->strBackup.c_str(), pszPath, pItem->bPlaced ? MOVEFILE_REPLACE_EXISTING : 0)) {
            PrintTo(stderr, "vbltool: %s: cannot be put back; the original is kept as %s\n", pszPath,
                    pItem->strBackup.c_str());
            return false;
        }
    } else if (pItem->bPlaced && remove(pszPath) != 0) {
        return Fail(*pItem, "cannot be removed again", strerror(errno));
    }
    return true;
}

// After a failure: the folder as it was, a folder this run made removed.
void RollBack(Unpacking* pRun)
{
    bool bWhole = true;
    for (auto it = pRun->items.rbegin(); it != pRun->items.rend(); ++it) bWhole = PutBack(&*it) && bWhole;
    const char* pszFolder = pRun->strFolder.c_str();
    if (pRun->bMadeFolder && bWhole && !RemoveFolder(pszFolder)) {
        PrintTo(stderr, "vbltool: %s: nothing unpacked; the folder made for it is kept: it is not empty\n", pszFolder);
    } else {
        PrintTo(stderr, "vbltool: %s: nothing unpacked%s\n", pszFolder,
                !bWhole             ? ", but the folder could not be put back as it was (above)"
                : pRun->bMadeFolder ? "; the folder made for it is removed"
                                    : "; the folder is as it was");
    }
}

bool WriteAndPlace(HFILE hArchive, Unpacking* pRun)
{
    for (UnpackItem& item : pRun->items) {
        if (!WriteScratch(hArchive, pRun, &item)) return false;
    }
    for (UnpackItem& item : pRun->items) {
        if (!PlaceItem(pRun, &item)) return false;
    }
    return true;
}

int Unpack(HFILE hArchive, const LevelDirectory& dir, const char* pszArchive, Unpacking* pRun, bool bForce)
{
    if (!dir.bCountRead) {
        PrintTo(stderr, "vbltool: %s: file too short to hold an entry count\n", pszArchive);
        return 1;
    }
    if (!PlanUnpack(dir, pszArchive, pRun)) {
        PrintTo(stderr, "vbltool: %s: nothing written\n", pszArchive);
        return 1;
    }
    if (dir.lCount > dir.lRecords) {
        PrintTo(stderr, "vbltool: %s: warning: the file holds only %ld of the %ld directory records\n", pszArchive,
                static_cast<long>(dir.lRecords), static_cast<long>(dir.lCount));
    }
    bool bClear = true;
    for (UnpackItem& item : pRun->items) bClear = MayWrite(&item, bForce) && bClear;
    if (!bClear) return 1;
    const char* pszFolder = pRun->strFolder.c_str();
    if (!IsFolder(pszFolder)) {
        if (!MakeFolder(pszFolder)) {
            PrintTo(stderr, "vbltool: %s: cannot create the folder: %s\n", pszFolder, strerror(errno));
            return 1;
        }
        pRun->bMadeFolder = true;
    }
    bool bPlaced = false;
    try {
        bPlaced = WriteAndPlace(hArchive, pRun);
    } catch (const std::bad_alloc&) {  // the folder is put back all the same
        PrintTo(stderr, "vbltool: %s: out of memory\n", pszFolder);
    }
    if (!bPlaced) {
        RollBack(pRun);
        return 1;
    }
    // Every entry is in place: only now are the replaced files let go.
    for (const UnpackItem& item : pRun->items) {
        if (!item.strBackup.empty() && !RemoveFileRetrying(item.strBackup.c_str())) {
            PrintTo(stderr, "vbltool: %s: warning: the file it replaced is kept as %s\n", item.strPath.c_str(),
                    item.strBackup.c_str());
        }
    }
    return 0;
}

}  // namespace

int RunUnpack(int argc, char** argv)
{
    bool bForce = false;
    const std::vector<const char*> args = ArgsWithout(argc, argv, "--force", &bForce);
    if (args.size() != 2 || args[1][0] == '\0') {
        PrintTo(stderr, "usage: vbltool unpack LEVEL.dat DIR [--force]\n");
        return 2;
    }
    LONG lSize = 0;
    HFILE hArchive = OpenInput(args[0], &lSize);
    if (hArchive == HFILE_ERROR) return 1;
    LevelDirectory dir;
    ReadLevelDirectory(hArchive, &dir);
    Unpacking run = {args[1], false, {args[1], 0, {}}, {}};
    const int nStatus = Unpack(hArchive, dir, args[0], &run, bForce);
    FreeLevelDirectory(&dir);
    _lclose(hArchive);
    return nStatus;
}
