// POSIX implementation of the Windows calls the core makes. Behaviour follows
// what the core relies on: short reads at the end of a file, seeks that fail
// before the start, movable blocks reached only through GlobalLock, and a
// case-insensitive view of paths written with '\'.
#include "vbl_platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

unsigned long g_ulReadCalls = 0;
long g_lOpenFiles = 0;
long g_lLiveBlocks = 0;
unsigned long g_ulMessageBoxes = 0;
std::string g_strLastMessage;
int g_nFailAllocIn = 0;

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
    int flags = (iMode & 3) == OF_WRITE ? O_WRONLY : (iMode & 3) == OF_READWRITE ? O_RDWR : O_RDONLY;
    int fd = open(pResolved->c_str(), flags | O_CLOEXEC);
    if (fd < 0) return HFILE_ERROR;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {  // Windows opens no directory
        close(fd);
        errno = EISDIR;
        return HFILE_ERROR;
    }
    ++g_lOpenFiles;
    return fd;
}

// Bookkeeping in front of every global block. A fixed block's handle is its
// data address; a movable block's handle is the address of this record, so a
// caller that uses a movable handle as memory reads the wrong bytes at once.
struct BlockRecord {
    BlockRecord* pNext;
    BlockRecord* pPrev;
    void* pHandle;
    BYTE* pData;
    SIZE_T cbSize;
    unsigned uLocks;
    bool bMoveable;
    void* pMapBase;  // the mapping holding pData, or null when from calloc
    SIZE_T cbMap;
};

BlockRecord* g_pBlocks = nullptr;

// Large blocks are mapped on their own, aligned to 2 MiB and marked for huge
// pages: the decoder writes a whole picture into fresh memory, and touching
// it 2 MiB at a time rather than 4 KiB at a time saves most of the page
// faults (on virtual machines, most of the time spent writing a picture).
constexpr SIZE_T kMapThreshold = SIZE_T{1} << 20;
constexpr SIZE_T kHugePage = SIZE_T{2} << 20;

// Under AddressSanitizer every block comes from calloc, so that a stray
// access just past a block's end is caught whatever the block's size.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMapLargeBlocks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMapLargeBlocks = false;
#else
constexpr bool kMapLargeBlocks = true;
#endif
#else
constexpr bool kMapLargeBlocks = true;
#endif

// Returns zero-filled memory; *ppMapBase and *pcbMap describe the mapping to
// release when it is one (null base: from calloc).
BYTE* AllocZeroed(SIZE_T cbSize, void** ppMapBase, SIZE_T* pcbMap)
{
    *ppMapBase = nullptr;
    *pcbMap = 0;
    if (kMapLargeBlocks && cbSize >= kMapThreshold && cbSize <= SIZE_MAX - kHugePage) {
        SIZE_T cbMap = cbSize + kHugePage;
        void* pBase = mmap(nullptr, cbMap, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (pBase == MAP_FAILED) return nullptr;
        uintptr_t uAligned = (reinterpret_cast<uintptr_t>(pBase) + kHugePage - 1) & ~(uintptr_t{kHugePage} - 1);
        BYTE* pData = reinterpret_cast<BYTE*>(uAligned);
        madvise(pData, cbSize, MADV_HUGEPAGE);  // a hint: without it, small pages
        *ppMapBase = pBase;
        *pcbMap = cbMap;
        return pData;
    }
    return static_cast<BYTE*>(calloc(cbSize ? cbSize : 1, 1));
}

void FreeZeroed(BYTE* pData, void* pMapBase, SIZE_T cbMap)
{
    if (pMapBase)
        munmap(pMapBase, cbMap);
    else
        free(pData);
}

BlockRecord* FindBlock(HGLOBAL hMem)
{
    for (BlockRecord* p = g_pBlocks; p; p = p->pNext) {
        if (p->pHandle == hMem) return p;
    }
    return nullptr;
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
    --g_lOpenFiles;
    return 0;
}

HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes)
{
    if (g_nFailAllocIn > 0 && --g_nFailAllocIn == 0) return nullptr;
    bool bMoveable = (uFlags & GMEM_MOVEABLE) != 0;
    BlockRecord* pRec = static_cast<BlockRecord*>(calloc(1, sizeof(BlockRecord)));
    if (!pRec) return nullptr;
    // Contents are always zeroed; GMEM_ZEROINIT callers may rely on it, and the
    // others must not be able to see stale data by accident.
    pRec->pData = AllocZeroed(dwBytes, &pRec->pMapBase, &pRec->cbMap);
    if (!pRec->pData) {
        free(pRec);
        return nullptr;
    }
    pRec->cbSize = dwBytes;
    pRec->bMoveable = bMoveable;
    pRec->pHandle = bMoveable ? static_cast<void*>(pRec) : static_cast<void*>(pRec->pData);
    pRec->pNext = g_pBlocks;
    if (g_pBlocks) g_pBlocks->pPrev = pRec;
    g_pBlocks = pRec;
    ++g_lLiveBlocks;
    return pRec->pHandle;
}

LPVOID GlobalLock(HGLOBAL hMem)
{
    BlockRecord* pRec = FindBlock(hMem);
    if (!pRec) return nullptr;
    if (pRec->bMoveable) ++pRec->uLocks;
    return pRec->pData;
}

BOOL GlobalUnlock(HGLOBAL hMem)
{
    BlockRecord* pRec = FindBlock(hMem);
    if (!pRec || !pRec->bMoveable || pRec->uLocks == 0) return FALSE;
    --pRec->uLocks;
    return pRec->uLocks != 0;
}

HGLOBAL GlobalFree(HGLOBAL hMem)
{
    BlockRecord* pRec = FindBlock(hMem);
    if (!pRec) return hMem;  // failure, as on Windows
    if (pRec->pPrev)
        pRec->pPrev->pNext = pRec->pNext;
    else
        g_pBlocks = pRec->pNext;
    if (pRec->pNext) pRec->pNext->pPrev = pRec->pPrev;
    FreeZeroed(pRec->pData, pRec->pMapBase, pRec->cbMap);
    free(pRec);
    --g_lLiveBlocks;
    return nullptr;
}

SIZE_T GlobalSize(HGLOBAL hMem)
{
    BlockRecord* pRec = FindBlock(hMem);
    return pRec ? pRec->cbSize : 0;
}

int lstrcmpA(LPCSTR lpString1, LPCSTR lpString2)
{
    if (!lpString1 || !lpString2) return (lpString1 ? 1 : 0) - (lpString2 ? 1 : 0);
    int n = strcmp(lpString1, lpString2);
    return n < 0 ? -1 : n > 0 ? 1 : 0;
}

LPSTR lstrcpyA(LPSTR lpString1, LPCSTR lpString2)
{
    if (!lpString1 || !lpString2) return nullptr;
    return strcpy(lpString1, lpString2);
}

LPSTR lstrcatA(LPSTR lpString1, LPCSTR lpString2)
{
    if (!lpString1 || !lpString2) return nullptr;
    return strcat(lpString1, lpString2);
}

LPSTR lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength)
{
    if (!lpString1 || !lpString2 || iMaxLength <= 0) return lpString1;
    // Reads at most iMaxLength - 1 characters of the source, never its rest.
    int i = 0;
    for (; i < iMaxLength - 1 && lpString2[i]; ++i) lpString1[i] = lpString2[i];
    lpString1[i] = '\0';
    return lpString1;
}

int lstrlenA(LPCSTR lpString)
{
    return lpString ? static_cast<int>(strlen(lpString)) : 0;
}

int MessageBoxA(HWND, LPCSTR lpText, LPCSTR lpCaption, UINT)
{
    ++g_ulMessageBoxes;
    g_strLastMessage = lpText ? lpText : "";
    fprintf(stderr, "[%s] %s\n", lpCaption ? lpCaption : "", g_strLastMessage.c_str());
    return IDOK;
}

unsigned long StandinReadCalls()
{
    return g_ulReadCalls;
}
long StandinOpenFiles()
{
    return g_lOpenFiles;
}
long StandinLiveBlocks()
{
    return g_lLiveBlocks;
}
unsigned long StandinMessageBoxes()
{
    return g_ulMessageBoxes;
}
const char* StandinLastMessageText()
{
    return g_strLastMessage.c_str();
}
void StandinFailAllocation(int nthNext)
{
    g_nFailAllocIn = nthNext > 0 ? nthNext : 0;
}
