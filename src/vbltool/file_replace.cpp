#include "file_replace.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include "file_descriptors.h"
#include "file_moves.h"
#include "file_system.h"
#include "scratch_files.h"
#include "tool_paths.h"

namespace {

// A reason that names a file or folder, for *ppszReason; one write at a time.
std::string g_strReason;

const char* Reason(const std::string& strReason)
{
    g_strReason = strReason;
    return g_strReason.c_str();
}

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

// A FIFO or a device: opened as it is, never created, emptied or replaced,
// and written only when what was opened is what was inspected.
bool WriteThrough(const OutputTarget& target, const WritePiece* pPieces, int nPieces, const char** ppszReason)
{
    DescriptorOwner fd(open(target.strPath.c_str(), O_WRONLY | O_BINARY | O_NOCTTY));
    if (fd.Get() < 0) {
        *ppszReason = "cannot open it for writing";
        return false;
    }
    if (!IsInspectedFile(fd.Get(), target)) {
        *ppszReason = "was replaced by another file while it was opened; nothing is written to it";
        return false;
    }
    const bool bOk = WritePieces(fd.Get(), pPieces, nPieces);
    if (!fd.Close() || !bOk) {
        *ppszReason = "cannot write the file";
        return false;
    }
    return true;
}

// Writes the scratch file wholly to the disk with the final file's mode;
// false, *ppszReason set, when not.
bool FillScratch(DescriptorOwner* pFd, const std::string& strScratch, const OutputTarget& target,
                 const WritePiece* pPieces, int nPieces, const char** ppszReason)
{
    bool bOk = WritePieces(pFd->Get(), pPieces, nPieces);
    if (!bOk) *ppszReason = "cannot write the file";
    if (bOk && !SetFinalMode(pFd->Get(), strScratch, target)) {
        *ppszReason = "cannot give it the permissions of the file it replaces";
        bOk = false;
    }
    if (bOk && !FlushToDisk(pFd->Get())) {
        *ppszReason = "cannot write the file";
        bOk = false;
    }
    if (!pFd->Close() && bOk) {
        *ppszReason = "cannot write the file";
        bOk = false;
    }
    return bOk;
}

// Why no scratch file could be made in strFolder (errno as open() left it).
const char* ScratchRefusal(std::string strFolder)
{
    if (errno == ENAMETOOLONG) return "the path is too long";
    if (errno != ENOENT && errno != ENOTDIR) return "cannot create a temporary file beside it";
    if (strFolder.size() > 1 && (strFolder.back() == '/' || strFolder.back() == '\\')) strFolder.pop_back();
    return Reason("the folder '" + strFolder + "' does not exist");
}

// Nothing or a plain file at the target: a scratch file beside it, renamed
// over it once whole; a file appearing meanwhile is never replaced.
bool ReplaceWhole(const OutputTarget& target, const WritePiece* pPieces, int nPieces, const char** ppszReason)
{
    const char* pszPath = target.strPath.c_str();
    ScratchNames names = {FolderOf(pszPath), 0, {BaseName(target.strPath)}};
    std::string strTemp;
    DescriptorOwner fd(CreateScratchFile(&names, &strTemp));
    if (fd.Get() < 0) {
        *ppszReason = ScratchRefusal(names.strFolder);
        return false;
    }
    bool bOk = FillScratch(&fd, strTemp, target, pPieces, nPieces, ppszReason);
    const bool bReplace = target.eKind == OutputKind::kPlainFile;
    if (bOk && !MoveFileRetrying(strTemp.c_str(), pszPath, bReplace ? MOVEFILE_REPLACE_EXISTING : 0)) {
        *ppszReason = HeldByAnotherProgram(pszPath) || HeldByAnotherProgram(strTemp.c_str())
                          ? "another program is using it"
                      : !bReplace && PathExists(pszPath) ? "appeared while it was written; it is not replaced"
                                                         : "cannot put the file in place";
        bOk = false;
    }
    if (!bOk && !RemoveFileRetrying(strTemp.c_str())) {
        *ppszReason = Reason(std::string(*ppszReason) + "; " + BaseName(strTemp) + " is left beside it");
    }
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
    case OutputKind::kRefused:
        *ppszReason = target.pszRefusal;
        return false;
    case OutputKind::kWriteThrough:
        return WriteThrough(target, pPieces, nPieces, ppszReason);
    case OutputKind::kAbsent:
    case OutputKind::kPlainFile:
        break;
    }
    return ReplaceWhole(target, pPieces, nPieces, ppszReason);
}
