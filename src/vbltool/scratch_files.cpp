#include "scratch_files.h"

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>

#include "file_moves.h"
#include "tool_paths.h"

#ifndef O_BINARY
#define O_BINARY 0
#endif
#ifndef O_NOFOLLOW
#define O_NOFOLLOW 0
#endif

namespace {

constexpr unsigned kScratchNumbers = 100000;

bool SameNameIgnoringCase(const std::string& strA, const char* pszB)
{
    size_t i = 0;
    for (; i < strA.size() && pszB[i]; ++i) {
        const char a = strA[i] >= 'a' && strA[i] <= 'z' ? static_cast<char>(strA[i] - 'a' + 'A') : strA[i];
        const char b = pszB[i] >= 'a' && pszB[i] <= 'z' ? static_cast<char>(pszB[i] - 'a' + 'A') : pszB[i];
        if (a != b) return false;
    }
    return i == strA.size() && !pszB[i];
}

// The path of scratch number *puNext or a later one that no avoided name
// has; false when the numbers are used up.
bool NextScratchPath(ScratchNames* pNames, std::string* pPath)
{
    for (; pNames->uNext < kScratchNumbers; ++pNames->uNext) {
        char szName[16];
        snprintf(szName, sizeof(szName), "VBL%05u.TMP", pNames->uNext);
        bool bAvoided = false;
        for (const std::string& strName : pNames->avoided) bAvoided = bAvoided || SameNameIgnoringCase(strName, szName);
        if (bAvoided) continue;
        *pPath = JoinPath(pNames->strFolder, szName);
        return true;
    }
    errno = EEXIST;
    return false;
}

}  // namespace

int CreateScratchFile(ScratchNames* pNames, std::string* pPath)
{
    for (; NextScratchPath(pNames, pPath); ++pNames->uNext) {
        const int fd = open(pPath->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY | O_NOFOLLOW, 0666);
        if (fd >= 0) {
            ++pNames->uNext;
            return fd;
        }
        if (errno != EEXIST && !PathExists(pPath->c_str())) return -1;
    }
    return -1;
}

bool MoveToScratch(const char* pszPath, ScratchNames* pNames, std::string* pPath)
{
    for (; NextScratchPath(pNames, pPath); ++pNames->uNext) {
        if (PathExists(pPath->c_str())) continue;
        if (MoveFileRetrying(pszPath, pPath->c_str(), 0)) {
            ++pNames->uNext;
            return true;
        }
        if (!PathExists(pPath->c_str())) return false;
    }
    return false;
}
