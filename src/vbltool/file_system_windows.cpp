#include <io.h>

#include <string>

#include "file_system.h"
#include "vbl_platform.h"

namespace {

// Attributes a replaced file hands on to the new one; the archive bit is set
// on it anyway (it is new), and read-only is refused before.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The length of "\VBL00000.TMP", the scratch file beside an output.
constexpr size_t kScratchNameChars = 13;

OutputTarget Refused(OutputTarget target, const char* pszRefusal)
{
    target.eKind = OutputKind::kRefused;
    target.pszRefusal = pszRefusal;
    return target;
}

// Whether pszPath's last name ends with a dot or a blank, which Windows drops
// ("out.png." is out.png), apart from the folder names "." and "..".
bool EndsWithDotOrBlank(const char* pszPath)
{
    const std::string strPath(pszPath);
    if (strPath.empty()) return false;
    const size_t posName = strPath.find_last_of("/\\:") + 1;  // npos + 1 == 0
    const std::string strName = strPath.substr(posName);
    if (strName == "." || strName == "..") return false;
    return strPath.back() == '.' || strPath.back() == ' ';
}

}  // namespace

OutputTarget InspectOutput(const char* pszPath)
{
    OutputTarget target;
    target.strPath = pszPath;
    if (EndsWithDotOrBlank(pszPath)) return Refused(target, "the name ends with a dot or a blank, which Windows drops");
    // The console itself, whatever the Windows version makes of its full path.
    if (_stricmp(pszPath, "CONOUT$") == 0) {
        target.eKind = OutputKind::kWriteThrough;
        return target;
    }
    char szFull[MAX_PATH];
    const DWORD cchFull = GetFullPathNameA(pszPath, MAX_PATH, szFull, nullptr);
    if (cchFull == 0 && GetLastError() == ERROR_FILENAME_EXCED_RANGE) return Refused(target, "the path is too long");
    if (cchFull == 0) return target;
    // The ANSI calls take no path of MAX_PATH characters or more, and the
    // scratch file beside the output must fit as well.
    std::string strFull(szFull, cchFull < MAX_PATH ? cchFull : 0);
    const size_t posName = strFull.find_last_of('\\');
    if (cchFull >= MAX_PATH || posName == std::string::npos || posName + kScratchNameChars >= MAX_PATH) {
        return Refused(target, "the path is too long");
    }
    target.strPath = strFull;
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
    target.bHasMode = true;
    target.uMode = dwAttributes;
    return target;
}

bool IsInspectedFile(int /*fd*/, const OutputTarget& /*target*/)
{
    return true;  // only devices are written through, and no link leads to one
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

bool SetFinalMode(int /*fd*/, const std::string& strScratch, const OutputTarget& target)
{
    const DWORD dwKept = target.uMode & kKeptAttributes;
    if (!target.bHasMode || !dwKept) return true;  // a fresh file's attributes are the ones to have
    return SetFileAttributesA(strScratch.c_str(), dwKept | FILE_ATTRIBUTE_ARCHIVE) != 0;
}

bool MoveFailedForNow()
{
    const DWORD dwError = GetLastError();
    return dwError == ERROR_SHARING_VIOLATION || dwError == ERROR_LOCK_VIOLATION || dwError == ERROR_ACCESS_DENIED;
}

bool HeldByAnotherProgram(const char* pszPath)
{
    // Deleting or renaming needs DELETE access, which a program that holds
    // the file open without FILE_SHARE_DELETE denies to all others.
    const HANDLE hFile = CreateFileA(pszPath, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
    if (hFile != INVALID_HANDLE_VALUE) {
        CloseHandle(hFile);
        return false;
    }
    const DWORD dwError = GetLastError();
    return dwError == ERROR_SHARING_VIOLATION || dwError == ERROR_LOCK_VIOLATION;
}

void WaitBeforeRetry()
{
    Sleep(50);
}

bool KeepStandardDescriptorsOpen()
{
    return true;  // the C runtime keeps 0, 1 and 2 for the standard handles, open or not
}
