// The preview at the display's DPI (VBL_DPI, 96 when unset; ctest runs this
// test in a Wine prefix set to each DPI): at the template's right edge, right
// of every control, and the viewer's added width is all picture.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "dialog_driver.h"
#include "pcx_writer.h"
#include "resource.h"

namespace {

// Larger than the area at every scale checked. RampPalette768's colours.
constexpr int kSide = 512;
COLORREF PicColour(LONG x, LONG y)
{
    const int k = (x + 7 * y) & 0xFF;
    return RGB(k, 255 - k, k ^ 0x5A);
}

std::string LargePictureLevel()
{
    Bytes decoded;  // the palette index is the red part
    for (int i = 0; i < kSide * kSide; ++i) decoded.push_back(GetRValue(PicColour(i % kSide, i / kSide)));
    const Bytes palette = RampPalette768();
    return AsString(
        LevelArchive({{NameField("level.pcx"), PcxFile(PcxShape(8, 1, kSide, kSide, kSide), decoded, &palette)}}));
}

// The smallest rectangle holding every visible control, in client pixels.
RECT ControlsBox(HWND hDlg)
{
    RECT box = {};
    for (HWND h = GetWindow(hDlg, GW_CHILD); h != nullptr; h = GetWindow(h, GW_HWNDNEXT)) {
        RECT rc;
        if (IsWindowVisible(h) && GetWindowRect(h, &rc)) UnionRect(&box, &box, &rc);
    }
    MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&box), 2);
    return box;
}

TEST(DisplayScaleTest, PictureStartsAtTheTemplatesEdgeRightOfEveryControl)
{
    const char* pszDpi = std::getenv("VBL_DPI");
    const int nDpi = pszDpi != nullptr ? std::atoi(pszDpi) : 96;
    GameFolder folder;
    folder.AddFile("levels\\large.dat", LargePictureLevel());
    MessageBoxCapture boxes;
    HWND hDlg = CreateMainDialog();

    // Measured on the dialog itself: the template's right edge is the client
    // area's with the viewer off; the topmost control, the heading, stands 4
    // units down.
    RECT rc;
    GetClientRect(hDlg, &rc);
    const RECT controls = ControlsBox(hDlg);
    const POINT origin = {rc.right, controls.top};
    EXPECT_TRUE(nDpi != 96 || (origin.x == 263 && origin.y == 7)) << origin.x << ", " << origin.y;
    EXPECT_LE(controls.right, origin.x);

    Click(hDlg, IDC_VIEWER);
    SelectEntry(hDlg, 0);
    GetClientRect(hDlg, &rc);
    EXPECT_EQ(rc.right - origin.x, 407);
    HDC hdc = GetDC(hDlg);
    EXPECT_EQ(GetDeviceCaps(hdc, LOGPIXELSY), nDpi) << "the Wine prefix is not set to this DPI";
    // The picture's corners, a neighbour of one and a pixel inside, 1:1.
    const LONG x = rc.right - 1 - origin.x, y = rc.bottom - 1 - origin.y;
    for (const POINT p : {POINT{0, 0}, {1, 0}, {0, 1}, {x, 0}, {0, y}, {x, y}, {200, 100}}) {
        EXPECT_EQ(GetPixel(hdc, origin.x + p.x, origin.y + p.y), PicColour(p.x, p.y)) << p.x << ", " << p.y;
    }
    EXPECT_EQ(GetPixel(hdc, origin.x - 1, origin.y), GetPixel(hdc, 0, rc.bottom - 1)) << "not the dialog's ground";
    ReleaseDC(hDlg, hdc);
    EXPECT_TRUE(boxes.Boxes().empty());
    std::printf("%d DPI: client area %ld x %ld, picture at (%ld, %ld), controls end at x %ld\n", nDpi, rc.right,
                rc.bottom, origin.x, origin.y, controls.right);
    CloseMainDialog(hDlg);
}

}  // namespace
