#include <io.h>

#include "file_system.h"
#include "vbl_platform.h"

OutputTarget InspectOutput(const char* pszPath)
{
    OutputTarget target = {OutputKind::kAbsent, pszPath, false, 0};
    char szFull[MAX_PATH];
    const DWORD cchFull = GetFullPathNameA(pszPath, MAX_PATH, szFull, nullptr);
    if (cchFull > 0 && cchFull < MAX_PATH) target.strPath = szFull;
    // A device (NUL, CON, COM1) has the full form \\.\NAME: nothing to replace.
    if (target.strPath.compare(0, 4, "\\\\.\\") == 0) {
        target.eKind = OutputKind::kWriteThrough;
        return target;
    }
    const DWORD dwAttributes = GetFileAttributesA(target.strPath.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES) return target;
    target.eKind = (dwAttributes & FILE_ATTRIBUTE_DIRECTORY)  ? OutputKind::kFolder
                   : (dwAttributes & FILE_ATTRIBUTE_READONLY) ? OutputKind::kReadOnly
                                                              : OutputKind::kPlainFile;
    return target;
}

const char* ReplaceRefusal(const char* pszPath)
{
    const DWORD dwAttributes = GetFileAttributesA(pszPath);
    if (dwAttributes == INVALID_FILE_ATTRIBUTES) return nullptr;
    if (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) return "already exists as a folder";
    if (dwAttributes & FILE_ATTRIBUTE_READONLY) return "is read-only, which --force does not replace";
    return nullptr;
}

bool FlushToDisk(int fd)
{
    return _commit(fd) == 0;  // FlushFileBuffers
}

bool KeepMode(int /*fd*/, const OutputTarget& /*target*/)
{
    return true;  // a fresh file's attributes are the ones to have
}

bool MoveFailedForNow()
{
    const DWORD dwError = GetLastError();
    return dwError == ERROR_SHARING_VIOLATION || dwError == ERROR_LOCK_VIOLATION || dwError == ERROR_ACCESS_DENIED;
}

void WaitBeforeRetry()
{
    Sleep(50);
}
