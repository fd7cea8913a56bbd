#include "tool_arguments.h"

#include <algorithm>
#include <cwchar>

#include "entry_names.h"
#include "tool_output.h"
#include "vbl_platform.h"

namespace {

void SayAboutName(const std::wstring& name, const char* pszWhy)
{
    PrintTo(stderr, "vbltool: ");
    PrintWideTo(stderr, name.c_str());
    PrintTo(stderr, ": %s\n", pszWhy);
}

bool TakeOne(const std::wstring& wide, std::vector<std::string>* pArgs)
{
    std::string ansi;
    if (!AnsiFromWide(wide, &ansi)) {
        char szWhy[160];
        snprintf(szWhy, sizeof(szWhy),
                 "the name holds characters that this Windows's code page (%u) cannot hold; use another name",
                 static_cast<unsigned>(GetACP()));
        SayAboutName(wide, szWhy);
        return false;
    }
    pArgs->push_back(ansi);
    return true;
}

std::wstring Upper(std::wstring str)
{
    if (!str.empty()) CharUpperBuffW(&str[0], static_cast<DWORD>(str.size()));
    return str;
}

// Whether a whole name matches a pattern of * and ?, both in upper case: one
// pass, going back only to the last *.
bool MatchesWhole(const wchar_t* pPattern, const wchar_t* pName)
{
    const wchar_t* pStar = nullptr;
    const wchar_t* pAfterStar = nullptr;
    while (*pName) {
        if (*pPattern == L'*') {
            pStar = ++pPattern;
            pAfterStar = pName;
        } else if (*pPattern == L'?' || (*pPattern && *pPattern == *pName)) {
            ++pPattern;
            ++pName;
        } else if (pStar) {
            pPattern = pStar;
            pName = ++pAfterStar;
        } else {
            return false;
        }
    }
    while (*pPattern == L'*') ++pPattern;
    return *pPattern == L'\0';
}

// As cmd's own commands do, a final ".*" may also match nothing: "*.*"
// matches README.
bool Matches(const std::wstring& pattern, const std::wstring& name)
{
    const size_t n = pattern.size();
    return MatchesWhole(pattern.c_str(), name.c_str()) ||
           (n >= 2 && pattern.compare(n - 2, 2, L".*") == 0 &&
            MatchesWhole(pattern.substr(0, n - 2).c_str(), name.c_str()));
}

// The names matching the last part of wide, each behind the folder as typed.
// Windows also matches a long name by its 8.3 short name (*.dat finding
// notes.data as NOTES~1.DAT): only long names that match are taken.
void Expand(const std::wstring& wide, std::vector<std::wstring>* pMatches)
{
    const size_t nCut = wide.find_last_of(L"\\/:");
    const std::wstring folder = nCut == std::wstring::npos ? L"" : wide.substr(0, nCut + 1);
    const std::wstring pattern = Upper(wide.substr(folder.size()));
    WIN32_FIND_DATAW found;
    const HANDLE hFind = FindFirstFileW(wide.c_str(), &found);
    if (hFind == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L".." || !Matches(pattern, Upper(name))) continue;
        pMatches->push_back(folder + name);
    } while (FindNextFileW(hFind, &found));
    FindClose(hFind);
    // In one order whatever the file system's (FAT keeps the order of making).
    std::sort(pMatches->begin(), pMatches->end(),
              [](const std::wstring& a, const std::wstring& b) { return Upper(a) < Upper(b); });
}

}  // namespace

bool TakeArguments(int argc, wchar_t** wargv, std::vector<std::string>* pArgs, int* pnStatus)
{
    *pnStatus = 1;
    const bool bPaths = !(argc > 1 && wcscmp(wargv[1], L"cmdline") == 0);
    for (int i = 0; i < argc; ++i) {
        const std::wstring wide = wargv[i];
        if (i < 2 || !bPaths || wide.find_first_of(L"*?") == std::wstring::npos) {
            if (!TakeOne(wide, pArgs)) return false;
            continue;
        }
        std::vector<std::wstring> matches;
        Expand(wide, &matches);
        if (matches.empty()) {
            SayAboutName(wide, "no file matches this pattern");
            return false;
        }
        for (const std::wstring& match : matches) {
            if (!TakeOne(match, pArgs)) return false;
        }
    }
    return true;
}

bool AloneOnConsole()
{
    DWORD adwIds[2];
    return GetConsoleProcessList(adwIds, 2) == 1;
}
