// The preview picture: a packed DIB turned into a bitmap in the display's own
// format, and that bitmap drawn into the main dialog beside the controls.
#pragma once
#include <windows.h>

#include "preview/preview_area.h"

// Makes a device-dependent bitmap for hDlg's display from the packed DIB
// whose global handle travels in hDib. The block is only read: it stays the
// caller's, unlocked. Returns null for a null or unlockable handle, when the
// block is too small for what its header describes, when the dialog has no
// device context or when the bitmap cannot be made. The caller owns the
// result and deletes it with DeleteObject.
HBITMAP DibToBitmap(HBITMAP hDib, HWND hDlg);

// Where Paint puts the picture's top-left corner in the main dialog's client
// area, in pixels: kPreviewLeftDlu, kPreviewTopDlu in the dialog's own font,
// so beside the controls however large the font and the DPI make them.
// Owned here; set once by SetPreviewOrigin when the dialog starts.
extern POINT g_ptPreviewOrigin;
void SetPreviewOrigin(HWND hDlg);

// Copies hBitmap 1:1 to g_ptPreviewOrigin of hDlg's client area at once,
// outside any paint cycle; the window clips what falls beyond its edge. A
// null bitmap draws nothing.
void Paint(HBITMAP hBitmap, HWND hDlg);
