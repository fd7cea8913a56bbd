// Paths and folders as vbltool names them: by their exact names, never
// looked up without regard to case.
#pragma once

#include <string>

// Last path component, after the last '/' or '\'.
std::string BaseName(const std::string& strPath);

// The folder that holds pszPath, as a path to join names to ("." for a bare name).
std::string FolderOf(const char* pszPath);

// The separator that the system's own programs show in paths.
#ifdef _WIN32
constexpr char kPathSeparator[] = "\\";
#else
constexpr char kPathSeparator[] = "/";
#endif

// strFolder, the separator, pszName: one separator between them, the
// system's own unless strFolder ends with one.
std::string JoinPath(const std::string& strFolder, const char* pszName);

// True when something, even a dangling symbolic link, is at pszPath.
bool PathExists(const char* pszPath);
bool IsFolder(const char* pszPath);
bool MakeFolder(const char* pszPath);
bool RemoveFolder(const char* pszPath);  // only an empty one

// True when pszPath reaches what is there only by another of its names, a
// Windows 8.3 short name such as ABCDEF~1 for abcdefghijkl; *pStored: the
// name the folder holds for it.
bool IsShortNamePath(const char* pszPath, std::string* pStored);
