#include "scratch_files.h"

#include <cerrno>
#include <cstdio>

#include "file_descriptors.h"
#include "file_moves.h"
#include "tool_paths.h"

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
        // Its owner's alone (0600: on Windows, not read-only) until its data
        // is whole and it is given the final file's mode (SetFinalMode).
        const int fd = open(pPath->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY | O_NOFOLLOW, 0600);
        if (fd >= 0) {
            ++pNames->uNext;
            return fd;
        }
        const int nError = errno;
        if (nError != EEXIST && !PathExists(pPath->c_str())) {
            errno = nError;
            return -1;
        }
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
