#include "main/main_dialog.h"

#include "catalogue/level_list.h"
#include "catalogue/random_choice.h"
#include "launcher/launcher.h"
#include "preview/preview_load.h"
#include "resource.h"

namespace {

// wParam of the selection change that the dialog sends itself: the list's
// identifier with LBN_SELCHANGE as notification code; lParam is 0.
constexpr WPARAM kSelfSelChange = MAKEWPARAM(IDC_LEVELLIST, LBN_SELCHANGE);

bool IsChecked(HWND hDlg, int nId)
{
    return SendDlgItemMessageA(hDlg, nId, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetCheck(HWND hDlg, int nId, WPARAM state)
{
    SendDlgItemMessageA(hDlg, nId, BM_SETCHECK, state, 0);
}

void SetAppIcon(HWND hDlg, WPARAM which)
{
    // Icons loaded from the module are shared: never destroyed.
    HICON hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_APP));
    SendMessageA(hDlg, WM_SETICON, which, reinterpret_cast<LPARAM>(hIcon));
}

void OnInitDialog(HWND hDlg)
{
    SetAppIcon(hDlg, ICON_SMALL);
    SetAppIcon(hDlg, ICON_BIG);
    if (AddLevelsFiles(hDlg) == 0) {
        MessageBoxA(nullptr, "Erreur pendant la recherche des fichiers des niveaux", "Erreur", MB_OK);
    }
    SetCheck(hDlg, IDC_FULLSCREEN, BST_CHECKED);
    SetCheck(hDlg, IDC_SCALEUP, BST_CHECKED);
}

void OnRandom(HWND hDlg)
{
    const int nIndex = CreateRandom(0, g_nNumberLevels - 1);
    SendDlgItemMessageA(hDlg, IDC_LEVELLIST, LB_SETCURSEL, static_cast<WPARAM>(nIndex), 0);
    SendMessageA(hDlg, WM_COMMAND, kSelfSelChange, 0);
}

void OnAbout(HWND hDlg)
{
    MessageBoxA(hDlg,
                "Vorbel Level Manager a été développé par l'équipe vblLM "
                "(equipe@vbllm.example.org) et est distribué par Les Éditions Exemple "
                "sur leur site www.example.org.",
                "À propos", MB_OK | MB_ICONINFORMATION);
}

void OnFullScreenClicked(HWND hDlg)
{
    SetCheck(hDlg, IDC_SCALEUP, IsChecked(hDlg, IDC_FULLSCREEN) ? BST_CHECKED : BST_UNCHECKED);
}

void OnViewerToggled(HWND hDlg)
{
    RECT rc;
    GetWindowRect(hDlg, &rc);
    const int nWidth = rc.right - rc.left;
    const int nHeight = rc.bottom - rc.top;
    const bool bOn = IsChecked(hDlg, IDC_VIEWER);
    g_bViewerActive = bOn ? 1 : 0;
    const int nNewWidth = bOn ? nWidth + kViewerExtraWidth : nWidth - kViewerExtraWidth;
    SetWindowPos(hDlg, nullptr, 0, 0, nNewWidth, nHeight, SWP_NOMOVE | SWP_NOZORDER);
    SendMessageA(hDlg, WM_COMMAND, kSelfSelChange, 0);
}

void OnClose()
{
    DeletePreviewBitmap();
    PostQuitMessage(0);
}

void OnCommand(HWND hDlg, int nId, int nCode)
{
    switch (nId) {
    case IDC_LEVELLIST:
        if (nCode == LBN_SELCHANGE) {
            LoadPreview(hDlg);
        } else if (nCode == LBN_DBLCLK) {
            PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_PLAY, BN_CLICKED), 0);
        }
        break;
    case IDC_PLAY:
        PlayCommand(hDlg);
        break;
    case IDC_RANDOM:
        OnRandom(hDlg);
        break;
    case IDC_ABOUT:
        OnAbout(hDlg);
        break;
    case IDC_FIREWORKS:
        FireworksCommand(hDlg);
        break;
    case IDC_FULLSCREEN:
        if (nCode == BN_CLICKED) OnFullScreenClicked(hDlg);
        break;
    case IDC_VIEWER:
        if (nCode == BN_CLICKED) OnViewerToggled(hDlg);
        break;
    case IDC_NOSOUND:
        if (nCode == BN_CLICKED) SetCheck(hDlg, IDC_MUSICNOSOUND, BST_UNCHECKED);
        break;
    case IDC_MUSICNOSOUND:
        if (nCode == BN_CLICKED) SetCheck(hDlg, IDC_NOSOUND, BST_UNCHECKED);
        break;
    default:
        break;  // IDCANCEL (Esc) among them: nothing happens.
    }
}

}  // namespace

INT_PTR CALLBACK MainDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM /*lParam*/)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        OnInitDialog(hDlg);
        return TRUE;
    case WM_COMMAND:
        OnCommand(hDlg, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_PAINT:
        RepaintPreview(hDlg);
        return FALSE;
    case WM_CLOSE:
        OnClose();
        return TRUE;
    default:
        return FALSE;
    }
}
