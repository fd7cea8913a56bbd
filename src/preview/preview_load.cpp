#include "preview/preview_load.h"

#include "catalogue/level_list.h"
#include "preview/level_archive.h"
#include "preview/pcx_decoder.h"
#include "preview/preview_bitmap.h"
#include "resource.h"

HBITMAP g_hBitmap = nullptr;
int g_bViewerActive = 0;

namespace {

// The packed DIB of the named level's picture, or of the corner of it that
// pCorner keeps (null when there is none); the archive lookup reports an
// archive that cannot be opened itself.
HBITMAP ExtractDib(LPSTR lpszName, const PcxClip* pCorner)
{
    HBITMAP hDib = nullptr;
    if (lpszName != nullptr) {
        ExtractLevelPcx(lpszName, &hDib, pCorner);
        GlobalFree(lpszName);
    }
    return hDib;
}

}  // namespace

void LoadPreview(HWND hDlg)
{
    if (g_bViewerActive == 0) return;
    bool bNoSelection = false;
    LPSTR lpszName = ReadSelectedLevel(GetDlgItem(hDlg, IDC_LEVELLIST), &bNoSelection);
    if (bNoSelection) return;
    DeletePreviewBitmap();
    // Only what the dialog can show is decoded and converted: its cost
    // follows the client area, not the picture.
    PcxClip corner;
    HBITMAP hDib = ExtractDib(lpszName, MeasurePreviewCorner(hDlg, &corner) ? &corner : nullptr);
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

bool MeasurePreviewCorner(HWND hDlg, PcxClip* pCorner)
{
    RECT rc;
    const POINT pt = g_ptPreviewOrigin;
    if (!GetClientRect(hDlg, &rc) || rc.right <= pt.x || rc.bottom <= pt.y) return false;
    pCorner->lWidth = rc.right - pt.x;
    pCorner->lHeight = rc.bottom - pt.y;
    return true;
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
