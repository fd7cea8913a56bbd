// The main dialog: the program's only window.
#pragma once
#include <windows.h>

INT_PTR CALLBACK MainDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// How much the viewer toggle widens the dialog, in pixels.
constexpr int kViewerExtraWidth = 407;
