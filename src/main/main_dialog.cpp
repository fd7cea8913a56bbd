#include "main/main_dialog.h"

#include "catalogue/level_list.h"
#include "catalogue/random_choice.h"
#include "launcher/launcher.h"
#include "preview/preview_bitmap.h"
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

void InitDialog(HWND hDlg)
{
    SetPreviewOrigin(hDlg);
    SetAppIcon(hDlg, ICON_SMALL);
    SetAppIcon(hDlg, ICON_BIG);
    if (AddLevelsFiles(hDlg) == 0) {
        MessageBoxA(nullptr, "Erreur pendant la recherche des fichiers des niveaux", "Erreur", MB_OK);
    }
    SetCheck(hDlg, IDC_FULLSCREEN, BST_CHECKED);
    SetCheck(hDlg, IDC_SCALEUP, BST_CHECKED);
}

void RandomCommand(HWND hDlg)
{
    const int nIndex = CreateRandom(0, g_nNumberLevels - 1);
    SendDlgItemMessageA(hDlg, IDC_LEVELLIST, LB_SETCURSEL, static_cast<WPARAM>(nIndex), 0);
    SendMessageA(hDlg, WM_COMMAND, kSelfSelChange, 0);
}

void AboutCommand(HWND hDlg)
{
    MessageBoxA(hDlg,
                "Vorbel Level Manager a été développé par l'équipe vblLM "
                "(equipe@vbllm.example.org) et est distribué par Les Éditions Exemple "
                "sur leur site www.example.org.",
                "À propos", MB_OK | MB_ICONINFORMATION);
}

void FullScreenCommand(HWND hDlg)
{
    SetCheck(hDlg, IDC_SCALEUP, IsChecked(hDlg, IDC_FULLSCREEN) ? BST_CHECKED : BST_UNCHECKED);
}

void ViewerCommand(HWND hDlg)
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

void CloseDialog()
{
    DeletePreviewBitmap();
    PostQuitMessage(0);
}

// The list posts the play command rather than running it, so that the
// double-click's selection change (and its preview) is handled first.
void DoubleClickCommand(HWND hDlg)
{
    PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_PLAY, BN_CLICKED), 0);
}

// The two sound boxes exclude each other: ticking one unticks the other.
void NoSoundCommand(HWND hDlg)
{
    SetCheck(hDlg, IDC_MUSICNOSOUND, BST_UNCHECKED);
}

void MusicNoSoundCommand(HWND hDlg)
{
    SetCheck(hDlg, IDC_NOSOUND, BST_UNCHECKED);
}

// Matches every notification code: codes are 16-bit, never negative.
constexpr int kAnyCode = -1;

struct CommandRoute {
    int nId;
    int nCode;  // kAnyCode or the one notification code acted on
    void (*pfnHandler)(HWND hDlg);
};

// Identifiers and codes not listed (IDCANCEL, Esc, among them) do nothing;
// the automatic check boxes toggle themselves.
const CommandRoute CommandTable[] = {
    {IDC_LEVELLIST, LBN_SELCHANGE, LoadPreview},
    {IDC_LEVELLIST, LBN_DBLCLK, DoubleClickCommand},
    {IDC_PLAY, kAnyCode, PlayCommand},
    {IDC_RANDOM, kAnyCode, RandomCommand},
    {IDC_ABOUT, kAnyCode, AboutCommand},
    {IDC_FIREWORKS, kAnyCode, FireworksCommand},
    {IDC_FULLSCREEN, BN_CLICKED, FullScreenCommand},
    {IDC_VIEWER, BN_CLICKED, ViewerCommand},
    {IDC_NOSOUND, BN_CLICKED, NoSoundCommand},
    {IDC_MUSICNOSOUND, BN_CLICKED, MusicNoSoundCommand},
};

void DispatchCommand(HWND hDlg, int nId, int nCode)
{
    for (const CommandRoute& route : CommandTable) {
        if (route.nId == nId && (route.nCode == kAnyCode || route.nCode == nCode)) {
            route.pfnHandler(hDlg);
            return;
        }
    }
}

}  // namespace

INT_PTR CALLBACK MainDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM /*lParam*/)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        InitDialog(hDlg);
        return TRUE;
    case WM_COMMAND:
        DispatchCommand(hDlg, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_PAINT:
        RepaintPreview(hDlg);
        return FALSE;
    case WM_CLOSE:
        CloseDialog();
        return TRUE;
    default:
        return FALSE;
    }
}
