#include "dialog_driver.h"

#include <cstring>
#include <utility>

#include "catalogue/level_list.h"
#include "main/main_dialog.h"
#include "preview/preview_load.h"
#include "resource.h"

namespace {

// The import slot through which this executable calls `name`, or null.
void** ImportSlot(const char* name)
{
    auto* pBase = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* pDos = reinterpret_cast<const IMAGE_DOS_HEADER*>(pBase);
    const auto* pNt = reinterpret_cast<const IMAGE_NT_HEADERS*>(pBase + pDos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = pNt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* pImp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(pBase + dir.VirtualAddress); pImp->Name != 0; ++pImp) {
        if (pImp->OriginalFirstThunk == 0) continue;
        auto* pName = reinterpret_cast<IMAGE_THUNK_DATA*>(pBase + pImp->OriginalFirstThunk);
        auto* pSlot = reinterpret_cast<IMAGE_THUNK_DATA*>(pBase + pImp->FirstThunk);
        for (; pName->u1.AddressOfData != 0; ++pName, ++pSlot) {
            if (IMAGE_SNAP_BY_ORDINAL(pName->u1.Ordinal)) continue;
            const auto* pByName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(pBase + pName->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(pByName->Name), name) == 0) {
                return reinterpret_cast<void**>(&pSlot->u1.Function);
            }
        }
    }
    return nullptr;
}

}  // namespace

HWND CreateMainDialog()
{
    g_nNumberLevels = 0;
    g_bViewerActive = 0;
    g_hBitmap = nullptr;
    HWND hDlg = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDlgProc, 0);
    if (hDlg == nullptr) g_pfnSupportFault("the main dialog was not created");
    ShowWindow(hDlg, SW_SHOW);
    UpdateWindow(hDlg);
    PumpMessages(hDlg);
    return hDlg;
}

void CloseMainDialog(HWND hDlg)
{
    SendMessageA(hDlg, WM_CLOSE, 0, 0);
    MSG msg;
    bool bQuit = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            bQuit = true;
            continue;
        }
        if (!IsDialogMessageA(hDlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (!bQuit) g_pfnSupportFault("closing the dialog must post the quit message");
    DestroyWindow(hDlg);
}

void PumpMessages(HWND hDlg)
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for CloseMainDialog
            break;
        }
        if (hDlg == nullptr || !IsDialogMessageA(hDlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

void Click(HWND hDlg, int nId)
{
    SendDlgItemMessageA(hDlg, nId, BM_CLICK, 0, 0);
    PumpMessages(hDlg);
}

void PressKey(HWND hDlg, UINT vk)
{
    HWND hFocus = GetFocus();
    if (hFocus == nullptr) hFocus = hDlg;
    MSG msg = {};
    msg.hwnd = hFocus;
    msg.message = WM_KEYDOWN;
    msg.wParam = vk;
    msg.lParam = 1;
    if (!IsDialogMessageA(hDlg, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    msg.message = WM_KEYUP;
    msg.lParam = static_cast<LPARAM>(0xC0000001u);
    if (!IsDialogMessageA(hDlg, &msg)) {
        DispatchMessageA(&msg);
    }
    PumpMessages(hDlg);
}

bool IsChecked(HWND hDlg, int nId)
{
    return SendDlgItemMessageA(hDlg, nId, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::vector<std::string> ListEntries(HWND hDlg)
{
    std::vector<std::string> out;
    const int n = static_cast<int>(SendDlgItemMessageA(hDlg, IDC_LEVELLIST, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        const int len = static_cast<int>(SendDlgItemMessageA(hDlg, IDC_LEVELLIST, LB_GETTEXTLEN, i, 0));
        std::string s(static_cast<size_t>(len) + 1, '\0');
        SendDlgItemMessageA(hDlg, IDC_LEVELLIST, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&s[0]));
        s.resize(static_cast<size_t>(len));
        out.push_back(s);
    }
    return out;
}

int ListSelection(HWND hDlg)
{
    return static_cast<int>(SendDlgItemMessageA(hDlg, IDC_LEVELLIST, LB_GETCURSEL, 0, 0));
}

void SelectEntry(HWND hDlg, int nIndex)
{
    HWND hList = GetDlgItem(hDlg, IDC_LEVELLIST);
    SendMessageA(hList, LB_SETCURSEL, static_cast<WPARAM>(nIndex), 0);
    SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_LEVELLIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(hList));
    PumpMessages(hDlg);
}

std::string ItemText(HWND hDlg, int nId)
{
    char sz[512] = {};
    GetDlgItemTextA(hDlg, nId, sz, sizeof sz);
    return sz;
}

void* Redirect(const char* name, void* pHook)
{
    void** pSlot = ImportSlot(name);
    if (pSlot == nullptr) g_pfnSupportFault(std::string(name) + " is not imported");
    if (pSlot == nullptr) return nullptr;
    DWORD dwOld = 0;
    VirtualProtect(pSlot, sizeof *pSlot, PAGE_READWRITE, &dwOld);
    void* pPrevious = *pSlot;
    *pSlot = pHook;
    VirtualProtect(pSlot, sizeof *pSlot, dwOld, &dwOld);
    return pPrevious;
}

namespace {

std::vector<std::pair<const char*, void*>> g_watchedImports;

}  // namespace

void KeepOriginalImport(const char* name, void* pOriginal)
{
    g_watchedImports.emplace_back(name, pOriginal);
}

void UnwatchImports()
{
    for (auto it = g_watchedImports.rbegin(); it != g_watchedImports.rend(); ++it) Redirect(it->first, it->second);
    g_watchedImports.clear();
}
