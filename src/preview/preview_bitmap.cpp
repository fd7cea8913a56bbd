#include "preview/preview_bitmap.h"

#include <cstring>
#include <memory>
#include <new>

#include "preview/dib_header.h"

namespace {

// Level pictures are mostly 8-bit. Converting those to a true-colour display
// costs several times more inside GDI than converting 32-bit rows, so they
// are expanded through their colour table first: the device bitmap comes out
// the same (the preview benchmark prints what it saves).
bool IsWorthExpanding(const BITMAPINFO* lpbi, HDC hdc)
{
    const BITMAPINFOHEADER& bih = lpbi->bmiHeader;
    return bih.biSize >= sizeof(BITMAPINFOHEADER) && bih.biBitCount == 8 && bih.biCompression == BI_RGB &&
           GetDeviceCaps(hdc, BITSPIXEL) * GetDeviceCaps(hdc, PLANES) >= 16;
}

// Scratch memory for the expansion, kept from one picture to the next: memory
// fresh from the system costs more to touch than the conversion itself. Owned here;
// at most kMaxRetainedPixels are held once a picture is done.
constexpr size_t kMaxRetainedPixels = 1024 * 1024;
std::unique_ptr<DWORD[]> g_pScratch;
size_t g_cScratch = 0;

DWORD* TakeScratch(size_t cPixels)
{
    if (cPixels > g_cScratch) {
        g_pScratch.reset();
        g_cScratch = 0;
        g_pScratch.reset(new (std::nothrow) DWORD[cPixels]);
        if (!g_pScratch) return nullptr;
        g_cScratch = cPixels;
    }
    return g_pScratch.get();
}

void ReturnScratch()
{
    if (g_cScratch > kMaxRetainedPixels) {
        g_pScratch.reset();
        g_cScratch = 0;
    }
}

// Fills pDst with the 8-bit DIB's pixels as 32-bit BGRX rows, in the same row
// order. Indices beyond the colour table come out black. The block was bounded
// by DIBitmapFitsBlock, so every row read lies inside it.
void ExpandIndexed8(const BITMAPINFO* lpbi, LONG nWidth, LONG nRows, DWORD* pDst)
{
    DWORD lut[256] = {};
    const int nColours = DIBitmapColors(lpbi);
    for (int i = 0; i < nColours && i < 256; ++i) {
        DWORD entry;
        std::memcpy(&entry, &lpbi->bmiColors[i], sizeof entry);
        lut[i] = entry & 0x00FFFFFFu;  // RGBQUAD in memory is a BGRX pixel
    }
    const BYTE* pSrc = DIBitmapBits(lpbi);
    const size_t cbSrcStride = (static_cast<size_t>(nWidth) + 3) & ~static_cast<size_t>(3);
    for (LONG y = 0; y < nRows; ++y, pSrc += cbSrcStride, pDst += nWidth) {
        for (LONG x = 0; x < nWidth; ++x) pDst[x] = lut[pSrc[x]];
    }
}

// CreateDIBitmap of an 8-bit DIB through its 32-bit expansion; null when the
// expansion cannot be made (the caller then converts the DIB as it is).
HBITMAP CreateFromExpanded(HDC hdc, const BITMAPINFO* lpbi)
{
    const LONG nWidth = lpbi->bmiHeader.biWidth;
    const LONG nRows = lpbi->bmiHeader.biHeight < 0 ? -lpbi->bmiHeader.biHeight : lpbi->bmiHeader.biHeight;
    DWORD* pPixels = TakeScratch(static_cast<size_t>(nWidth) * static_cast<size_t>(nRows));
    if (pPixels == nullptr) return nullptr;
    ExpandIndexed8(lpbi, nWidth, nRows, pPixels);
    BITMAPINFO bmi32 = {};
    bmi32.bmiHeader = lpbi->bmiHeader;
    bmi32.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi32.bmiHeader.biBitCount = 32;
    bmi32.bmiHeader.biClrUsed = 0;
    bmi32.bmiHeader.biClrImportant = 0;
    bmi32.bmiHeader.biSizeImage = 0;
    HBITMAP hBitmap = CreateDIBitmap(hdc, &bmi32.bmiHeader, CBM_INIT, pPixels, &bmi32, DIB_RGB_COLORS);
    ReturnScratch();
    return hBitmap;
}

// The conversion proper, given the locked block and how large it is.
HBITMAP CreateFromLockedDib(const BITMAPINFO* lpbi, SIZE_T cbBlock, HWND hDlg)
{
    // The header comes from a file: never let GDI read past the block.
    if (!DIBitmapFitsBlock(lpbi, cbBlock)) return nullptr;
    HDC hdc = GetDC(hDlg);
    if (hdc == nullptr) return nullptr;
    HBITMAP hBitmap = IsWorthExpanding(lpbi, hdc) ? CreateFromExpanded(hdc, lpbi) : nullptr;
    if (hBitmap == nullptr) {
        hBitmap = CreateDIBitmap(hdc, &lpbi->bmiHeader, CBM_INIT, DIBitmapBits(lpbi), lpbi, DIB_RGB_COLORS);
    }
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

POINT g_ptPreviewOrigin = {0, 0};

void SetPreviewOrigin(HWND hDlg)
{
    RECT rc = {kPreviewLeftDlu, kPreviewTopDlu, kPreviewLeftDlu, kPreviewTopDlu};
    MapDialogRect(hDlg, &rc);
    g_ptPreviewOrigin.x = rc.left;
    g_ptPreviewOrigin.y = rc.top;
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
            BitBlt(hdc, g_ptPreviewOrigin.x, g_ptPreviewOrigin.y, bm.bmWidth, bm.bmHeight, hdcMem, 0, 0, SRCCOPY);
            SelectObject(hdcMem, hOld);
        }
        DeleteDC(hdcMem);
    }
    ReleaseDC(hDlg, hdc);
}
