// unpack: writes every entry of a level archive to a file of its own name in
// one folder. The archive comes from a stranger: every entry is checked first
// and one bad entry means nothing is written; files are only ever created
// fresh inside the folder, never written through a link or over another.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#ifndef _WIN32
#include <unistd.h>
#else
#include <io.h>
#endif

#include "commands.h"
#include "preview/level_entry_check.h"
#include "tool_files.h"

namespace {

constexpr LONG kCopyChunk = 65536;

struct UnpackItem {
    std::string strPath;
    LONG lOffset;
    LONG lSize;
};

void ReportFault(void* pContext, LONG lIndex, const char* pszName, const char* pszReason)
{
    fprintf(stderr, "vbltool: %s: entry %ld '%s': %s\n", static_cast<const char*>(pContext), static_cast<long>(lIndex),
            PrintableName(pszName).c_str(), pszReason);
}

std::string JoinPath(const std::string& strFolder, const char* pszName)
{
    const char cLast = strFolder.empty() ? '/' : strFolder.back();
    return strFolder + (cLast == '/' || cLast == '\\' ? "" : "/") + pszName;
}

// Every entry's target path, or false when any entry is unsafe to write.
bool PlanUnpack(const LevelDirectory& dir, const char* pszArchive, const std::string& strFolder,
                std::vector<UnpackItem>* pItems)
{
    if (CheckLevelEntries(&dir, ReportFault, const_cast<char*>(pszArchive)) != 0) return false;
    for (LONG i = 0; i < dir.lRecords; ++i) {
        LevelEntry entry;
        GetLevelEntry(&dir, i, &entry);
        char szName[kEntryFileNameChars];
        LevelEntryFileName(&entry, szName);
        pItems->push_back(UnpackItem{JoinPath(strFolder, szName), entry.lOffset, entry.lSize});
    }
    return true;
}

// Whether a file may be made at pszPath: nothing is there, or bForce and what
// is there is no folder.
bool MayWrite(const char* pszPath, bool bForce)
{
    if (!PathExists(pszPath)) return true;
    if (!bForce || IsFolder(pszPath)) {
        fprintf(stderr, "vbltool: %s: already exists%s\n", pszPath, bForce ? " as a folder" : " (--force replaces it)");
        return false;
    }
    return true;
}

// Copies one entry's data into a file made for it. With bForce, what was
// there is removed first: a link itself, never the file it points to. A
// partly written file is removed.
bool WriteItem(HFILE hArchive, const UnpackItem& item, bool bForce)
{
    if (bForce && PathExists(item.strPath.c_str())) remove(item.strPath.c_str());
    const int fd = CreateNewFile(item.strPath.c_str());
    if (fd < 0) {
        fprintf(stderr, "vbltool: %s: cannot create the file: %s\n", item.strPath.c_str(), strerror(errno));
        return false;
    }
    std::vector<BYTE> buffer(kCopyChunk);
    bool bOk = _llseek(hArchive, item.lOffset, FILE_BEGIN) == item.lOffset;
    for (LONG lLeft = item.lSize; bOk && lLeft > 0;) {
        const UINT cb = static_cast<UINT>(lLeft < kCopyChunk ? lLeft : kCopyChunk);
        bOk = _lread(hArchive, buffer.data(), cb) == cb && write(fd, buffer.data(), cb) == static_cast<int>(cb);
        lLeft -= static_cast<LONG>(cb);
    }
    bOk = close(fd) == 0 && bOk;
    if (!bOk) {
        remove(item.strPath.c_str());
        fprintf(stderr, "vbltool: %s: cannot write the file\n", item.strPath.c_str());
    }
    return bOk;
}

int Unpack(HFILE hArchive, const LevelDirectory& dir, const char* pszArchive, const std::string& strFolder, bool bForce)
{
    if (!dir.bCountRead) {
        fprintf(stderr, "vbltool: %s: file too short to hold an entry count\n", pszArchive);
        return 1;
    }
    std::vector<UnpackItem> items;
    if (!PlanUnpack(dir, pszArchive, strFolder, &items)) {
        fprintf(stderr, "vbltool: %s: nothing written\n", pszArchive);
        return 1;
    }
    if (dir.lCount > dir.lRecords) {
        fprintf(stderr, "vbltool: %s: warning: the file holds only %ld of the %ld directory records\n", pszArchive,
                static_cast<long>(dir.lRecords), static_cast<long>(dir.lCount));
    }
    bool bClear = true;
    for (const UnpackItem& item : items) bClear = MayWrite(item.strPath.c_str(), bForce) && bClear;
    if (!bClear) return 1;
    if (!IsFolder(strFolder.c_str()) && !MakeFolder(strFolder.c_str())) {
        fprintf(stderr, "vbltool: %s: cannot create the folder\n", strFolder.c_str());
        return 1;
    }
    for (const UnpackItem& item : items) {
        if (!WriteItem(hArchive, item, bForce)) return 1;
    }
    return 0;
}

}  // namespace

int RunUnpack(int argc, char** argv)
{
    std::vector<const char*> args;
    bool bForce = false;
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--force") == 0) {
            bForce = true;
        } else {
            args.push_back(argv[i]);
        }
    }
    if (args.size() != 2 || args[1][0] == '\0') {
        fprintf(stderr, "usage: vbltool unpack LEVEL.dat DIR [--force]\n");
        return 2;
    }
    LONG lSize = 0;
    HFILE hArchive = OpenInput(args[0], &lSize);
    if (hArchive == HFILE_ERROR) return 1;
    LevelDirectory dir;
    ReadLevelDirectory(hArchive, &dir);
    const int nStatus = Unpack(hArchive, dir, args[0], args[1], bForce);
    FreeLevelDirectory(&dir);
    _lclose(hArchive);
    return nStatus;
}
