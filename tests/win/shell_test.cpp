// The main dialog's own behaviour: start-up state, option couplings, the
// viewer's widening, the random choice, Esc, the About box and shut-down.
#include <gtest/gtest.h>

#include "catalogue/level_list.h"
#include "dialog_driver.h"
#include "main/main_dialog.h"
#include "preview/preview_load.h"
#include "resource.h"

namespace {

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"zeta.dat", "alpha.dat", "my level.dat", "_under.dat"}) {
            folder_.AddFile(std::string("levels\\") + name, "x");
        }
        hDlg_ = CreateMainDialog();
    }
    void TearDown() override
    {
        if (hDlg_ != nullptr) CloseMainDialog(hDlg_);
    }

    GameFolder folder_;
    MessageBoxCapture boxes_;
    HWND hDlg_ = nullptr;
};

TEST_F(ShellTest, StartsWithSortedLevelsCountDefaultsAndFocusOnList)
{
    EXPECT_EQ(ListEntries(hDlg_), (std::vector<std::string>{"_under", "alpha", "my level", "zeta"}));
    EXPECT_EQ(ItemText(hDlg_, IDC_COUNT), "4");
    EXPECT_EQ(g_nNumberLevels, 4);
    EXPECT_TRUE(boxes_.Boxes().empty());
    for (int id : {IDC_FULLSCREEN, IDC_SCALEUP}) EXPECT_TRUE(IsChecked(hDlg_, id)) << id;
    for (int id : {IDC_VIEWER, IDC_NOSOUND, IDC_MUSICNOSOUND, IDC_NOGORE, IDC_NOFLIES, IDC_MIRROR}) {
        EXPECT_FALSE(IsChecked(hDlg_, id)) << id;
    }
    EXPECT_EQ(ListSelection(hDlg_), LB_ERR);
    EXPECT_EQ(GetFocus(), GetDlgItem(hDlg_, IDC_LEVELLIST));
    EXPECT_EQ(g_bViewerActive, 0);
    EXPECT_NE(SendMessageA(hDlg_, WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_NE(SendMessageA(hDlg_, WM_GETICON, ICON_BIG, 0), 0);
    char szCaption[64] = {};
    GetWindowTextA(hDlg_, szCaption, sizeof szCaption);
    EXPECT_STREQ(szCaption, "Vorbel Level Manager");
}

TEST_F(ShellTest, TemplateSizeComesOutAsOnWindows)
{
    // 175 x 166 dialog units of 8-point "MS Sans Serif": 263 x 270 pixels of
    // client area at 96 dpi. A wrong font face shows here first.
    RECT rc;
    GetClientRect(hDlg_, &rc);
    EXPECT_EQ(rc.right, 263);
    EXPECT_NEAR(rc.bottom, 270, 1);
}

TEST_F(ShellTest, FullScreenDrivesBetterResolution)
{
    Click(hDlg_, IDC_FULLSCREEN);
    EXPECT_FALSE(IsChecked(hDlg_, IDC_FULLSCREEN));
    EXPECT_FALSE(IsChecked(hDlg_, IDC_SCALEUP));
    Click(hDlg_, IDC_SCALEUP);  // may be changed on its own afterwards
    EXPECT_TRUE(IsChecked(hDlg_, IDC_SCALEUP));
    EXPECT_FALSE(IsChecked(hDlg_, IDC_FULLSCREEN));
    Click(hDlg_, IDC_SCALEUP);
    Click(hDlg_, IDC_FULLSCREEN);
    EXPECT_TRUE(IsChecked(hDlg_, IDC_FULLSCREEN));
    EXPECT_TRUE(IsChecked(hDlg_, IDC_SCALEUP));
}

TEST_F(ShellTest, SoundOptionsExcludeEachOther)
{
    Click(hDlg_, IDC_NOSOUND);
    EXPECT_TRUE(IsChecked(hDlg_, IDC_NOSOUND));
    EXPECT_FALSE(IsChecked(hDlg_, IDC_MUSICNOSOUND));
    Click(hDlg_, IDC_MUSICNOSOUND);
    EXPECT_TRUE(IsChecked(hDlg_, IDC_MUSICNOSOUND));
    EXPECT_FALSE(IsChecked(hDlg_, IDC_NOSOUND));
    Click(hDlg_, IDC_MUSICNOSOUND);  // unticking leaves the other unticked
    EXPECT_FALSE(IsChecked(hDlg_, IDC_MUSICNOSOUND));
    EXPECT_FALSE(IsChecked(hDlg_, IDC_NOSOUND));
    // The other boxes are not coupled to anything.
    Click(hDlg_, IDC_NOGORE);
    Click(hDlg_, IDC_MIRROR);
    EXPECT_TRUE(IsChecked(hDlg_, IDC_NOGORE));
    EXPECT_TRUE(IsChecked(hDlg_, IDC_MIRROR));
    EXPECT_TRUE(IsChecked(hDlg_, IDC_FULLSCREEN));
    EXPECT_TRUE(IsChecked(hDlg_, IDC_SCALEUP));
}

TEST_F(ShellTest, ViewerWidensBy407PixelsAndBackExactly)
{
    RECT before;
    GetWindowRect(hDlg_, &before);
    Click(hDlg_, IDC_VIEWER);
    RECT wide;
    GetWindowRect(hDlg_, &wide);
    EXPECT_EQ(g_bViewerActive, 1);
    EXPECT_EQ(wide.right - wide.left, before.right - before.left + kViewerExtraWidth);
    EXPECT_EQ(wide.left, before.left);
    EXPECT_EQ(wide.top, before.top);
    EXPECT_EQ(wide.bottom, before.bottom);
    Click(hDlg_, IDC_VIEWER);
    RECT after;
    GetWindowRect(hDlg_, &after);
    EXPECT_EQ(g_bViewerActive, 0);
    EXPECT_TRUE(EqualRect(&before, &after));
    // Nothing selected: no picture and no message either way.
    EXPECT_TRUE(boxes_.Boxes().empty());
    EXPECT_EQ(g_hBitmap, nullptr);
}

TEST_F(ShellTest, RandomPicksEveryLevelAndNeverStartsTheGame)
{
    std::srand(1);
    std::vector<int> seen(4, 0);
    for (int i = 0; i < 200; ++i) {
        Click(hDlg_, IDC_RANDOM);
        const int sel = ListSelection(hDlg_);
        ASSERT_GE(sel, 0);
        ASSERT_LT(sel, 4);
        ++seen[static_cast<size_t>(sel)];
    }
    for (int n : seen) EXPECT_GT(n, 0);
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(ShellTest, EscDoesNothing)
{
    PressKey(hDlg_, VK_ESCAPE);
    EXPECT_TRUE(IsWindow(hDlg_));
    EXPECT_TRUE(IsWindowVisible(hDlg_));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(ShellTest, EnterInTheListPressesPlay)
{
    SetFocus(GetDlgItem(hDlg_, IDC_LEVELLIST));
    PressKey(hDlg_, VK_RETURN);
    // Nothing is selected, so the Play command's warning is what shows.
    ASSERT_EQ(boxes_.Summary(), (std::vector<std::string>{"Hey!|T'as rien sélectionné!"}));
}

TEST_F(ShellTest, TabWalksTheControlsInTemplateOrder)
{
    const int order[] = {IDC_LEVELLIST,    IDC_VIEWER,    IDC_FULLSCREEN, IDC_SCALEUP,  IDC_NOSOUND,
                         IDC_MUSICNOSOUND, IDC_NOGORE,    IDC_NOFLIES,    IDC_MIRROR,   IDC_PLAY,
                         IDC_RANDOM,       IDC_FIREWORKS, IDC_ABOUT,      IDC_LEVELLIST};
    ASSERT_EQ(GetFocus(), GetDlgItem(hDlg_, order[0]));
    for (size_t i = 1; i < sizeof order / sizeof order[0]; ++i) {
        PressKey(hDlg_, VK_TAB);
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), order[i]) << "after " << order[i - 1];
    }
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(ShellTest, AboutBoxIsOwnedAndInformative)
{
    Click(hDlg_, IDC_ABOUT);
    ASSERT_EQ(boxes_.Boxes().size(), 1u);
    const MessageBoxRecord& box = boxes_.Boxes()[0];
    EXPECT_EQ(box.caption, "À propos");
    EXPECT_NE(box.text.find("Vorbel Level Manager"), std::string::npos);
    EXPECT_EQ(box.owner, hDlg_);
    EXPECT_TRUE(box.hasIcon);
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
}

TEST_F(ShellTest, CloseDeletesThePreviewBitmap)
{
    HBITMAP hBitmap = CreateBitmap(8, 8, 1, 1, nullptr);
    g_hBitmap = hBitmap;
    CloseMainDialog(hDlg_);
    hDlg_ = nullptr;
    EXPECT_EQ(g_hBitmap, nullptr);
    EXPECT_EQ(GetObjectType(hBitmap), 0u) << "the bitmap must have been deleted";
}

TEST(ShellCloseTest, CloseWithoutPreviewEndsNormally)
{
    GameFolder folder;
    MessageBoxCapture boxes;
    folder.AddFile("levels\\one.dat");
    HWND hDlg = CreateMainDialog();
    CloseMainDialog(hDlg);  // checks the quit message itself
    EXPECT_EQ(g_hBitmap, nullptr);
    EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace
