// The 16-bit-style file calls of the file-format core (archive lookup, PCX
// decoder) and of vbltool, over POSIX. The core opens ".\\Levels\\" + name +
// ".dat": on Linux the folder is "levels/", hence the caseless lookup below,
// for reads only. MoveFileExA, vbltool's, takes names exactly as given.
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "vbl_platform.h"

namespace {

// _lread calls since start, for vbltool's VBLTOOL_STATS figures.
unsigned long g_ulReadCalls = 0;

// Finds the entry of dir whose name matches name without regard to case;
// the smallest such name wins, so the choice does not depend on readdir order.
bool FindCaseless(const std::string& dir, const std::string& name, std::string* pFound)
{
    DIR* pDir = opendir(dir.empty() ? "." : dir.c_str());
    if (!pDir) return false;
    bool bFound = false;
    while (dirent* pEnt = readdir(pDir)) {
        if (strcasecmp(pEnt->d_name, name.c_str()) != 0) continue;
        if (!bFound || *pFound > pEnt->d_name) *pFound = pEnt->d_name;
        bFound = true;
    }
    closedir(pDir);
    return bFound;
}

// Turns a Windows-style relative or absolute path into an existing POSIX path
// where possible; components missing under their exact name are matched
// without regard to case. Returns the best guess when nothing matches.
std::string ResolvePath(LPCSTR lpPath)
{
    std::string strIn(lpPath);
    for (char& c : strIn) {
        if (c == '\\') c = '/';
    }
    std::string strOut;
    size_t pos = 0;
    if (!strIn.empty() && strIn[0] == '/') {
        strOut = "/";
        pos = 1;
    }
    while (pos <= strIn.size()) {
        size_t end = strIn.find('/', pos);
        if (end == std::string::npos) end = strIn.size();
        std::string strPart = strIn.substr(pos, end - pos);
        pos = end + 1;
        if (strPart.empty()) continue;
        std::string strBase = strOut;
        std::string strTry = strBase.empty() || strBase == "/" ? strBase + strPart : strBase + "/" + strPart;
        struct stat st;
        std::string strFound;
        if (strPart != "." && strPart != ".." && lstat(strTry.c_str(), &st) != 0 &&
            FindCaseless(strBase, strPart, &strFound)) {
            strTry = strBase.empty() || strBase == "/" ? strBase + strFound : strBase + "/" + strFound;
        }
        strOut = strTry;
    }
    return strOut;
}

// The absolute form Windows gives a path before opening it: the current
// directory in front of a relative one, "." and ".." components folded away.
// Its length is what the system's path limits apply to. Empty on failure.
std::string FullPathOf(LPCSTR lpPath)
{
    std::string strIn(lpPath);
    for (char& c : strIn) {
        if (c == '\\') c = '/';
    }
    if (strIn.empty() || strIn[0] != '/') {
        char szCwd[PATH_MAX];
        if (!getcwd(szCwd, sizeof(szCwd))) return std::string();
        strIn = std::string(szCwd) + "/" + strIn;
    }
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos <= strIn.size()) {
        size_t end = strIn.find('/', pos);
        if (end == std::string::npos) end = strIn.size();
        std::string strPart = strIn.substr(pos, end - pos);
        pos = end + 1;
        if (strPart == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!strPart.empty() && strPart != ".") {
            parts.push_back(strPart);
        }
    }
    std::string strOut;
    for (const std::string& strPart : parts) strOut += "/" + strPart;
    return strOut.empty() ? "/" : strOut;
}

// Full path length below the given limit (which counts the NUL).
bool FullPathFits(LPCSTR lpPath, size_t cchLimit)
{
    std::string strFull = FullPathOf(lpPath);
    return !strFull.empty() && strFull.size() < cchLimit;
}

HFILE OpenResolved(LPCSTR lpPath, int iMode, std::string* pResolved)
{
    if (!lpPath || !*lpPath) return HFILE_ERROR;
    *pResolved = ResolvePath(lpPath);
    (void)iMode;  // the core only ever reads (OF_READ)
    int fd = open(pResolved->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return HFILE_ERROR;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {  // Windows opens no directory
        close(fd);
        errno = EISDIR;
        return HFILE_ERROR;
    }
    return fd;
}

}  // namespace

HFILE OpenFile(LPCSTR lpFileName, LPOFSTRUCT lpReOpenBuff, UINT uStyle)
{
    if (lpReOpenBuff) {
        memset(lpReOpenBuff, 0, sizeof(*lpReOpenBuff));
        lpReOpenBuff->cBytes = sizeof(*lpReOpenBuff);
    }
    // Windows refuses a path whose full form does not fit the OFSTRUCT, however
    // short the path as given.
    if (!lpFileName || !FullPathFits(lpFileName, OFS_MAXPATHNAME)) {
        if (lpReOpenBuff) lpReOpenBuff->nErrCode = 206;  // ERROR_FILENAME_EXCED_RANGE
        return HFILE_ERROR;
    }
    std::string strResolved;
    HFILE hFile = OpenResolved(lpFileName, static_cast<int>(uStyle), &strResolved);
    if (lpReOpenBuff) {
        if (hFile == HFILE_ERROR) {
            lpReOpenBuff->nErrCode = 2;  // ERROR_FILE_NOT_FOUND
        } else {
            snprintf(lpReOpenBuff->szPathName, sizeof(lpReOpenBuff->szPathName), "%s", FullPathOf(lpFileName).c_str());
        }
    }
    return hFile;
}

HFILE _lopen(LPCSTR lpPathName, int iReadWrite)
{
    // The ANSI file calls take no path whose full form reaches MAX_PATH.
    if (!lpPathName || !FullPathFits(lpPathName, MAX_PATH)) return HFILE_ERROR;
    std::string strResolved;
    return OpenResolved(lpPathName, iReadWrite, &strResolved);
}

DWORD GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer, LPSTR* lpFilePart)
{
    if (lpFilePart) *lpFilePart = nullptr;
    if (!lpFileName || !*lpFileName) return 0;
    std::string strFull = FullPathOf(lpFileName);
    if (strFull.empty()) return 0;
    if (strFull.size() >= nBufferLength || !lpBuffer) return static_cast<DWORD>(strFull.size() + 1);
    memcpy(lpBuffer, strFull.c_str(), strFull.size() + 1);
    if (lpFilePart && strFull.back() != '/') *lpFilePart = lpBuffer + strFull.rfind('/') + 1;
    return static_cast<DWORD>(strFull.size());
}

UINT _lread(HFILE hFile, LPVOID lpBuffer, UINT uBytes)
{
    ++g_ulReadCalls;
    BYTE* pOut = static_cast<BYTE*>(lpBuffer);
    UINT uDone = 0;
    while (uDone < uBytes) {
        ssize_t n = read(hFile, pOut + uDone, uBytes - uDone);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return uDone ? uDone : static_cast<UINT>(HFILE_ERROR);
        if (n == 0) break;
        uDone += static_cast<UINT>(n);
    }
    return uDone;
}

LONG _llseek(HFILE hFile, LONG lOffset, int iOrigin)
{
    int whence = iOrigin == FILE_CURRENT ? SEEK_CUR : iOrigin == FILE_END ? SEEK_END : SEEK_SET;
    off_t pos = lseek(hFile, static_cast<off_t>(lOffset), whence);
    if (pos < 0 || pos > static_cast<off_t>(INT32_MAX)) return HFILE_ERROR;
    return static_cast<LONG>(pos);
}

HFILE _lclose(HFILE hFile)
{
    if (close(hFile) != 0) return HFILE_ERROR;
    return 0;
}

namespace {

// Whether a rename or link call was refused as a thing the file system does
// not do at all, not for this file.
bool NotDoneHere(int nError)
{
    return nError == EINVAL || nError == ENOSYS || nError == EPERM || nError == EOPNOTSUPP;
}

// Renames pszFrom to pszTo unless something is at pszTo, even something that
// appears meanwhile. NFS and 9p (WSL's /mnt/c) have no such rename (EINVAL):
// there pszTo is made a second name of the file, which fails when something
// is there, and then pszFrom is dropped. Where there are no second names
// either (VirtualBox shared folders, some FUSE file systems), a plain rename
// once pszTo is found free: a file appearing in that instant is replaced.
bool RenameNoReplace(const char* pszFrom, const char* pszTo)
{
    if (renameat2(AT_FDCWD, pszFrom, AT_FDCWD, pszTo, RENAME_NOREPLACE) == 0) return true;
    if (!NotDoneHere(errno)) return false;
    if (link(pszFrom, pszTo) != 0) {
        if (!NotDoneHere(errno)) return false;
        struct stat st;
        if (lstat(pszTo, &st) == 0 || errno != ENOENT) {
            errno = EEXIST;
            return false;
        }
        return rename(pszFrom, pszTo) == 0;
    }
    if (unlink(pszFrom) == 0) return true;
    const int nError = errno;
    unlink(pszTo);
    errno = nError;
    return false;
}

}  // namespace

BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags)
{
    if (!lpExistingFileName || !lpNewFileName) return FALSE;
    struct stat st;
    if (lstat(lpNewFileName, &st) != 0) return RenameNoReplace(lpExistingFileName, lpNewFileName);
    if (!(dwFlags & MOVEFILE_REPLACE_EXISTING) || S_ISDIR(st.st_mode)) {
        errno = EEXIST;
        return FALSE;
    }
    return rename(lpExistingFileName, lpNewFileName) == 0;
}

unsigned long StandinReadCalls()
{
    return g_ulReadCalls;
}
