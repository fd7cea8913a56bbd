#include "launcher/launcher.h"

#include <shellapi.h>

#include <new>
#include <string>

#include "catalogue/level_list.h"
#include "resource.h"

namespace {

// The option boxes, in the order of GameOptionSwitches.
const int OptionBoxes[kGameOptionCount] = {
    IDC_FULLSCREEN, IDC_SCALEUP, IDC_NOSOUND, IDC_MUSICNOSOUND, IDC_NOGORE, IDC_NOFLIES, IDC_MIRROR,
};

// Only "ticked" counts: an indeterminate state (2) adds no switch.
bool IsTicked(HWND hDlg, int nId)
{
    return SendMessageA(GetDlgItem(hDlg, nId), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The shell's result is an error code of 32 or less, read as a signed value,
// when the game did not start.
bool StartGame(HWND hDlg, const std::string& params)
{
    HINSTANCE hResult = ShellExecuteA(hDlg, nullptr, "vorbel.exe", params.c_str(), ".", SW_SHOW);
    return reinterpret_cast<INT_PTR>(hResult) > 32;
}

// The option bits (parameter_string.h) of the boxes ticked now.
unsigned ReadOptionBoxes(HWND hDlg)
{
    unsigned fOptions = 0;
    for (int i = 0; i < kGameOptionCount; ++i) {
        if (IsTicked(hDlg, OptionBoxes[i])) fOptions |= 1u << i;
    }
    return fOptions;
}

void ReportFailedStart()
{
    MessageBoxA(nullptr, "Erreur en éxécutant vorbel.exe", "Erreur", MB_OK);
}

}  // namespace

int CallvblProgram(LPCSTR lpszLevelName, HWND hDlg, HWND /*hList*/, int nMode)
{
    bool bStarted = false;
    try {
        bStarted = StartGame(hDlg, BuildParameterString(nMode, lpszLevelName, ReadOptionBoxes(hDlg)));
    } catch (const std::bad_alloc&) {
        // No memory for the string: the game was not started, and no
        // exception may cross the dialog procedure.
    }
    if (!bStarted) ReportFailedStart();
    return 1;
}

void PlayCommand(HWND hDlg)
{
    HWND hList = GetDlgItem(hDlg, IDC_LEVELLIST);
    bool bNoSelection = false;
    LPSTR lpszName = ReadSelectedLevel(hList, &bNoSelection);
    if (bNoSelection) {
        MessageBoxA(nullptr, "T'as rien sélectionné!", "Hey!", MB_OK);
        return;
    }
    if (lpszName == nullptr) {
        ReportFailedStart();  // Not even the name fits in memory.
        return;
    }
    CallvblProgram(lpszName, hDlg, hList, kLaunchLevel);
    GlobalFree(lpszName);
}

void FireworksCommand(HWND hDlg)
{
    CallvblProgram("", hDlg, GetDlgItem(hDlg, IDC_LEVELLIST), kLaunchFireworks);
}
