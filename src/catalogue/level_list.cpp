#include "catalogue/level_list.h"

#include <cstring>

#include "resource.h"

int g_nNumberLevels = 0;

namespace {

const char kSearchPattern[] = ".\\levels\\*.dat";
// Holds a level name (at most 255 characters) and its NUL.
constexpr SIZE_T kNameBufferSize = 257;

void ShowSearchError(LPCSTR lpszText)
{
    MessageBoxA(nullptr, lpszText, "Erreur", MB_OK);
}

// Adds the file name less its last four characters (whatever they are) to the
// list. The list box keeps its own sorted copy; the buffer is ours and freed here.
void AddLevelName(HWND hDlg, const char* pszFileName)
{
    const int nLength = static_cast<int>(std::strlen(pszFileName));
    auto* pszName = static_cast<LPSTR>(GlobalAlloc(GPTR, kNameBufferSize));
    if (pszName == nullptr) {
        return;  // Out of memory: the level is left out rather than listed wrongly.
    }
    if (nLength >= 4) {
        lstrcpynA(pszName, pszFileName, nLength - 3);
    }
    SendDlgItemMessageA(hDlg, IDC_LEVELLIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pszName));
    GlobalFree(pszName);
    ++g_nNumberLevels;
}

}  // namespace

int AddLevelsFiles(HWND hDlg)
{
    WIN32_FIND_DATAA findData;
    HANDLE hFind = FindFirstFileA(kSearchPattern, &findData);
    if (hFind == INVALID_HANDLE_VALUE) {
        ShowSearchError("Erreur en cherchant le premier fichier (.\\levels\\*.dat)");
        return 0;
    }
    do {
        AddLevelName(hDlg, findData.cFileName);
    } while (FindNextFileA(hFind, &findData));

    if (GetLastError() != ERROR_NO_MORE_FILES) {
        ShowSearchError("Erreur en cherchant le fichier .dat suivant");
        FindClose(hFind);
        return 0;
    }
    SetDlgItemInt(hDlg, IDC_COUNT, static_cast<UINT>(g_nNumberLevels), FALSE);
    FindClose(hFind);
    return g_nNumberLevels;
}

LPSTR ReadSelectedLevel(HWND hList, bool* pbNoSelection)
{
    *pbNoSelection = false;
    const LRESULT nIndex = SendMessageA(hList, LB_GETCURSEL, 0, 0);
    if (nIndex == LB_ERR) {
        *pbNoSelection = true;
        return nullptr;
    }
    const LRESULT nLength = SendMessageA(hList, LB_GETTEXTLEN, static_cast<WPARAM>(nIndex), 0);
    if (nLength < 0) return nullptr;
    auto lpszName = static_cast<LPSTR>(GlobalAlloc(GPTR, static_cast<SIZE_T>(nLength) + 1));
    if (lpszName == nullptr) return nullptr;
    SendMessageA(hList, LB_GETTEXT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(lpszName));
    return lpszName;
}
