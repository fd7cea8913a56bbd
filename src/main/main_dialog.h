// The main dialog: the program's only window.
#pragma once
#include <windows.h>

#include "preview/preview_area.h"

INT_PTR CALLBACK MainDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// How much the viewer toggle widens the dialog, in pixels: the room for the
// picture right of the template's edge, the same at every DPI.
constexpr int kViewerExtraWidth = kPreviewShownWidth;
