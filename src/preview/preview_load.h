// The preview beside the controls: loaded on a selection change, repainted on
// WM_PAINT. Both take the main dialog.
#pragma once
#include <windows.h>

// The current preview bitmap or null: made and replaced by LoadPreview,
// deleted by DeletePreviewBitmap.
extern HBITMAP g_hBitmap;
// 1 while the preview area is shown; written by the dialog's viewer toggle.
extern int g_bViewerActive;

void LoadPreview(HWND hDlg);
void RepaintPreview(HWND hDlg);
// Deletes the preview bitmap, if there is one. g_hBitmap is null before
// DeleteObject runs, so no nested message loop (an error box's) can ever
// paint a deleted handle.
void DeletePreviewBitmap();
