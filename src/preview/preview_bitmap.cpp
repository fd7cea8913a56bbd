#include "preview/preview_bitmap.h"

#include "preview/dib_header.h"

namespace {

// The conversion proper, given the locked block and how large it is.
HBITMAP CreateFromLockedDib(const BITMAPINFO* lpbi, SIZE_T cbBlock, HWND hDlg)
{
    // The header comes from a file: never let GDI read past the block.
    if (!DIBitmapFitsBlock(lpbi, cbBlock)) return nullptr;
    HDC hdc = GetDC(hDlg);
    if (hdc == nullptr) return nullptr;
    HBITMAP hBitmap = CreateDIBitmap(hdc, &lpbi->bmiHeader, CBM_INIT, DIBitmapBits(lpbi), lpbi, DIB_RGB_COLORS);
    ReleaseDC(hDlg, hdc);
    return hBitmap;
}

}  // namespace

HBITMAP DibToBitmap(HBITMAP hDib, HWND hDlg)
{
    // The handle is a global memory block carried in a bitmap-handle variable.
    HGLOBAL hBlock = reinterpret_cast<HGLOBAL>(hDib);
    if (hBlock == nullptr) return nullptr;
    const auto* lpbi = static_cast<const BITMAPINFO*>(GlobalLock(hBlock));
    if (lpbi == nullptr) return nullptr;
    HBITMAP hBitmap = CreateFromLockedDib(lpbi, GlobalSize(hBlock), hDlg);
    GlobalUnlock(hBlock);
    return hBitmap;
}

void Paint(HBITMAP hBitmap, HWND hDlg)
{
    if (hBitmap == nullptr) return;
    BITMAP bm = {};
    if (GetObjectA(hBitmap, sizeof bm, &bm) == 0) return;
    HDC hdc = GetDC(hDlg);
    if (hdc == nullptr) return;
    HDC hdcMem = CreateCompatibleDC(hdc);
    if (hdcMem != nullptr) {
        HGDIOBJ hOld = SelectObject(hdcMem, hBitmap);
        if (hOld != nullptr && hOld != HGDI_ERROR) {
            BitBlt(hdc, kPreviewLeft, kPreviewTop, bm.bmWidth, bm.bmHeight, hdcMem, 0, 0, SRCCOPY);
            SelectObject(hdcMem, hOld);
        }
        DeleteDC(hdcMem);
    }
    ReleaseDC(hDlg, hdc);
}
