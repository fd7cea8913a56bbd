// The preview beside the controls: loaded on a selection change, repainted on
// WM_PAINT. Both take the main dialog.
#pragma once
#include <windows.h>

struct PcxClip;

// The current preview bitmap or null: made and replaced by LoadPreview,
// deleted by DeletePreviewBitmap.
extern HBITMAP g_hBitmap;
// 1 while the preview area is shown; written by the dialog's viewer toggle.
extern int g_bViewerActive;

// Reads the selected level's picture (only the corner that the dialog shows)
// and paints it; nothing while the viewer is off.
void LoadPreview(HWND hDlg);
// The part of a picture that hDlg's client area can show from
// g_ptPreviewOrigin: its size measured now, from the window's size. False
// when the area shows none of it (a minimised dialog): only the whole
// picture is then sure to be right when it comes back.
bool MeasurePreviewCorner(HWND hDlg, PcxClip* pCorner);
void RepaintPreview(HWND hDlg);
// Deletes the preview bitmap, if there is one. g_hBitmap is null before
// DeleteObject runs, so no nested message loop (an error box's) can ever
// paint a deleted handle.
void DeletePreviewBitmap();
