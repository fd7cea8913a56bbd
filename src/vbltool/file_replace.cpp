#include "file_replace.h"

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <string>

#include "file_moves.h"
#include "file_system.h"
#include "scratch_files.h"
#include "tool_paths.h"

#ifndef O_BINARY
#define O_BINARY 0
#endif
#ifndef O_NOCTTY
#define O_NOCTTY 0
#endif

namespace {

// write() of every byte of every piece, in pieces an int can count.
bool WritePieces(int fd, const WritePiece* pPieces, int nPieces)
{
    for (int i = 0; i < nPieces; ++i) {
        const unsigned char* p = static_cast<const unsigned char*>(pPieces[i].pData);
        size_t cb = pPieces[i].cb;
        while (cb > 0) {
            const unsigned cbNow = static_cast<unsigned>(cb < (1u << 20) ? cb : (1u << 20));
            if (write(fd, p, cbNow) != static_cast<int>(cbNow)) return false;
            p += cbNow;
            cb -= cbNow;
        }
    }
    return true;
}

// A FIFO or a device: opened as it is, never created, emptied or replaced.
bool WriteThrough(const OutputTarget& target, const WritePiece* pPieces, int nPieces, const char** ppszReason)
{
    const int fd = open(target.strPath.c_str(), O_WRONLY | O_BINARY | O_NOCTTY);
    if (fd < 0) {
        *ppszReason = "cannot open it for writing";
        return false;
    }
    const bool bOk = WritePieces(fd, pPieces, nPieces);
    if (close(fd) != 0 || !bOk) {
        *ppszReason = "cannot write the file";
        return false;
    }
    return true;
}

// Writes the scratch file fd wholly to the disk; false, *ppszReason set, when not.
bool FillScratch(int fd, const OutputTarget& target, const WritePiece* pPieces, int nPieces, const char** ppszReason)
{
    bool bOk = WritePieces(fd, pPieces, nPieces) && FlushToDisk(fd);
    if (!bOk) *ppszReason = "cannot write the file";
    if (bOk && !KeepMode(fd, target)) {
        *ppszReason = "cannot give it the permissions of the file it replaces";
        bOk = false;
    }
    if (close(fd) != 0 && bOk) {
        *ppszReason = "cannot write the file";
        bOk = false;
    }
    return bOk;
}

// Nothing or a plain file at the target: a scratch file beside it, renamed
// over it once whole; a file appearing meanwhile is never replaced.
bool ReplaceWhole(const OutputTarget& target, const WritePiece* pPieces, int nPieces, const char** ppszReason)
{
    const char* pszPath = target.strPath.c_str();
    ScratchNames names = {FolderOf(pszPath), 0, {BaseName(target.strPath)}};
    std::string strTemp;
    const int fd = CreateScratchFile(&names, &strTemp);
    if (fd < 0) {
        *ppszReason = "cannot create a temporary file beside it";
        return false;
    }
    bool bOk = FillScratch(fd, target, pPieces, nPieces, ppszReason);
    const bool bReplace = target.eKind == OutputKind::kPlainFile;
    if (bOk && !MoveFileRetrying(strTemp.c_str(), pszPath, bReplace ? MOVEFILE_REPLACE_EXISTING : 0)) {
        *ppszReason = !bReplace && PathExists(pszPath) ? "appeared while it was written; it is not replaced"
                                                       : "cannot put the file in place";
        bOk = false;
    }
    if (!bOk) remove(strTemp.c_str());
    return bOk;
}

}  // namespace

bool WritePiecesWhole(const char* pszPath, const WritePiece* pPieces, int nPieces, const char** ppszReason)
{
    const OutputTarget target = InspectOutput(pszPath);
    switch (target.eKind) {
    case OutputKind::kFolder:
        *ppszReason = "is a folder";
        return false;
    case OutputKind::kReadOnly:
        *ppszReason = "is read-only; it is not replaced";
        return false;
    case OutputKind::kWriteThrough:
        return WriteThrough(target, pPieces, nPieces, ppszReason);
    case OutputKind::kAbsent:
    case OutputKind::kPlainFile:
        break;
    }
    return ReplaceWhole(target, pPieces, nPieces, ppszReason);
}
