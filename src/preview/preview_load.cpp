#include "preview/preview_load.h"

#include "preview/level_archive.h"
#include "preview/preview_bitmap.h"
#include "resource.h"

HBITMAP g_hBitmap = nullptr;
int g_bViewerActive = 0;

namespace {

// The selected entry's text in a zero-filled fixed block that the caller
// frees with GlobalFree; null when nothing is selected.
LPSTR ReadSelectedLevelName(HWND hList, bool* pbNoSelection)
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

// The packed DIB of the named level's picture (null when there is none);
// the archive lookup reports an archive that cannot be opened itself.
HBITMAP ExtractDib(LPSTR lpszName)
{
    HBITMAP hDib = nullptr;
    if (lpszName != nullptr) {
        ExtractLevelPcx(lpszName, &hDib);
        GlobalFree(lpszName);
    }
    return hDib;
}

}  // namespace

void LoadPreview(HWND hDlg)
{
    if (g_bViewerActive == 0) return;
    bool bNoSelection = false;
    LPSTR lpszName = ReadSelectedLevelName(GetDlgItem(hDlg, IDC_LEVELLIST), &bNoSelection);
    if (bNoSelection) return;
    DeletePreviewBitmap();
    HBITMAP hDib = ExtractDib(lpszName);
    // The lookup's error box runs a message loop, in which the user may have
    // picked another level whose load stored a bitmap here: delete it rather
    // than lose it when this load's result takes its place.
    DeletePreviewBitmap();
    g_hBitmap = DibToBitmap(hDib, hDlg);
    if (hDib != nullptr) GlobalFree(reinterpret_cast<HGLOBAL>(hDib));
    if (g_hBitmap == nullptr) {
        MessageBoxA(nullptr, "Impossible de charger la bitmap", "Erreur", MB_OK);
        return;
    }
    Paint(g_hBitmap, hDlg);
}

void DeletePreviewBitmap()
{
    HBITMAP hOld = g_hBitmap;
    g_hBitmap = nullptr;
    if (hOld != nullptr) DeleteObject(hOld);
}

void RepaintPreview(HWND hDlg)
{
    if (g_hBitmap == nullptr) return;
    // The dialog's default paint processing runs after this and would fill
    // the pending erase region over the picture: erase it now, then draw on
    // top, so that a repaint leaves the picture showing.
    RedrawWindow(hDlg, nullptr, nullptr, RDW_ERASENOW);
    Paint(g_hBitmap, hDlg);
}
