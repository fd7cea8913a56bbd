// Where the preview picture shows in the main dialog. Its top-left corner is
// the dialog template's right edge, kPreviewTopDlu down: right of every
// control at any font size and DPI. The viewer widens the dialog by
// kPreviewShownWidth pixels, so that is the width the picture can fill;
// what the client area gives below the corner is its height. A larger
// picture is clipped at the window's edge, never scaled. Portable: vbltool
// warns about pictures the viewer cuts off.
#pragma once

#include "resource.h"

// The corner in dialog units. The dialog turns them into pixels with its own
// font when it starts (g_ptPreviewOrigin, preview_bitmap.h).
constexpr int kPreviewLeftDlu = IDD_MAIN_WIDTH;
constexpr int kPreviewTopDlu = 4;

constexpr int kPreviewShownWidth = 407;

// Dialog units in pixels as MapDialogRect counts them (rounded to nearest)
// for a font whose base unit, in pixels, spans nPerBase dialog units.
constexpr int DluToPixels(int nDlu, int nBasePixels, int nPerBase)
{
    return (2 * nDlu * nBasePixels + nPerBase) / (2 * nPerBase);
}

// At 96 DPI the template's 8-point "MS Sans Serif" has base units of 6 x 13
// pixels (4 horizontal and 8 vertical dialog units each). The corner and the
// area at that smallest scale are what vbltool measures pictures against;
// a larger scale only adds rows.
constexpr int kBaseUnitX96 = 6;
constexpr int kBaseUnitY96 = 13;
constexpr int kPreviewLeft = DluToPixels(kPreviewLeftDlu, kBaseUnitX96, 4);
constexpr int kPreviewTop = DluToPixels(kPreviewTopDlu, kBaseUnitY96, 8);
constexpr int kPreviewShownHeight = DluToPixels(IDD_MAIN_HEIGHT, kBaseUnitY96, 8) - kPreviewTop;
