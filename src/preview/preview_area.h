// Where the preview picture shows in the main dialog, in client-area pixels:
// its top-left corner, and the part of the widened dialog that it can fill.
// A larger picture is clipped at the window's edge, never scaled. Portable:
// vbltool warns about pictures the viewer cuts off.
#pragma once

constexpr int kPreviewLeft = 263;
constexpr int kPreviewTop = 7;
constexpr int kPreviewShownWidth = 407;
constexpr int kPreviewShownHeight = 263;
