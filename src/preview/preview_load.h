// The preview beside the controls: loaded on a selection change, repainted on
// WM_PAINT. Both take the main dialog.
#pragma once
#include <windows.h>

void LoadPreview(HWND hDlg);
void RepaintPreview(HWND hDlg);
