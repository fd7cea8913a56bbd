// Drives the real main dialog in a temporary game folder, as a person's
// actions would, and observes the message boxes it shows instead of waiting
// for someone to click them. Free of gtest: the dialog tests and the preview
// benchmark both use it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "game_folder.h"
#include "message_boxes.h"

// Points this executable's import slot for the function `name` at pHook and
// returns what it held before (null, after a test failure, when the program
// does not import it). Lets a test count or fail the program's own calls.
void* Redirect(const char* name, void* pHook);

template <typename F>
void Install(const char* name, F hook, F* pOriginal)
{
    *pOriginal = reinterpret_cast<F>(Redirect(name, reinterpret_cast<void*>(hook)));
}

template <typename F>
void Uninstall(const char* name, F original)
{
    Redirect(name, reinterpret_cast<void*>(original));
}

// A watch on one import: Refuse (when set) may answer the call with a null or
// FALSE result instead of the real function; Note (when set) sees each real
// call's result and arguments. Imports of one function type need distinct
// Tags (GlobalLock and GlobalFree are both void* (void*)).
template <int Tag, typename F>
struct ImportWatch;
template <int Tag, typename R, typename... A>
struct ImportWatch<Tag, R(WINAPI*)(A...)> {
    static inline R(WINAPI* original)(A...) = nullptr;
    static inline bool (*refuse)(A...) = nullptr;
    static inline void (*note)(R, A...) = nullptr;
    static R WINAPI Call(A... a)
    {
        if (refuse != nullptr && refuse(a...)) return R{};
        R result = original(a...);
        if (note != nullptr) note(result, a...);
        return result;
    }
};

// Remembers a watched import's original, for UnwatchImports.
void KeepOriginalImport(const char* name, void* pOriginal);

// Watches the import `name` (whose function is pfn) until UnwatchImports.
template <int Tag, typename F, typename W = ImportWatch<Tag, F>>
void WatchImport(const char* name, F /*pfn*/, decltype(W::refuse) refuse, decltype(W::note) note)
{
    W::refuse = refuse;
    W::note = note;
    Install(name, &W::Call, &W::original);
    KeepOriginalImport(name, reinterpret_cast<void*>(W::original));
}

// Gives every watched import its original back, the last watched first.
void UnwatchImports();

// Creates the main dialog (template 101, MainDlgProc) in the current
// directory, shown, with the globals at their start values.
HWND CreateMainDialog();
// Closes it as the title bar's close box does (WM_CLOSE), eats the quit
// message that follows, and destroys the window.
void CloseMainDialog(HWND hDlg);
// Dispatches everything queued for this thread, through the dialog manager
// for hDlg as the modal loop would.
void PumpMessages(HWND hDlg);
// A mouse click on a button or check box (BM_CLICK), then the queue pumped.
void Click(HWND hDlg, int nId);
// A key press delivered to the focused control through the dialog manager.
void PressKey(HWND hDlg, UINT vk);
bool IsChecked(HWND hDlg, int nId);
std::vector<std::string> ListEntries(HWND hDlg);
int ListSelection(HWND hDlg);
// Selects an entry as a user's click does: selection then LBN_SELCHANGE.
void SelectEntry(HWND hDlg, int nIndex);
std::string ItemText(HWND hDlg, int nId);
