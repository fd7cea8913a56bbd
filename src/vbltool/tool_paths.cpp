#include "tool_paths.h"

#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>
#else
#include <unistd.h>
#endif

#include "vbl_platform.h"

std::string BaseName(const std::string& strPath)
{
    size_t pos = strPath.find_last_of("/\\");
    return pos == std::string::npos ? strPath : strPath.substr(pos + 1);
}

std::string FolderOf(const char* pszPath)
{
    const std::string strPath(pszPath);
#ifdef _WIN32
    const size_t pos = strPath.find_last_of("/\\");
#else
    const size_t pos = strPath.find_last_of('/');
#endif
    return pos == std::string::npos ? std::string(".") : strPath.substr(0, pos + 1);
}

std::string JoinPath(const std::string& strFolder, const char* pszName)
{
    const char cLast = strFolder.empty() ? '/' : strFolder.back();
    return strFolder + (cLast == '/' || cLast == '\\' ? "" : kPathSeparator) + pszName;
}

bool PathExists(const char* pszPath)
{
#ifdef _WIN32
    return GetFileAttributesA(pszPath) != INVALID_FILE_ATTRIBUTES;
#else
    struct stat st;
    return lstat(pszPath, &st) == 0;
#endif
}

bool IsFolder(const char* pszPath)
{
    struct stat st;
    return stat(pszPath, &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeFolder(const char* pszPath)
{
#ifdef _WIN32
    return _mkdir(pszPath) == 0;
#else
    return mkdir(pszPath, 0777) == 0;
#endif
}

bool RemoveFolder(const char* pszPath)
{
#ifdef _WIN32
    return _rmdir(pszPath) == 0;
#else
    return rmdir(pszPath) == 0;
#endif
}

bool IsShortNamePath(const char* pszPath, std::string* pStored)
{
#ifdef _WIN32
    WIN32_FIND_DATAA found;
    HANDLE hFind = FindFirstFileA(pszPath, &found);
    if (hFind == INVALID_HANDLE_VALUE) return false;
    FindClose(hFind);
    *pStored = found.cFileName;
    return _stricmp(found.cFileName, BaseName(pszPath).c_str()) != 0;
#else
    (void)pszPath;
    (void)pStored;
    return false;  // no second names here
#endif
}
