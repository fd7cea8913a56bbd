// The level list as the dialog fills it from .\levels\*.dat, and the random
// choice on lists of every size.
#include <gtest/gtest.h>

#include "catalogue/level_list.h"
#include "dialog_driver.h"
#include "resource.h"

namespace {

const std::vector<std::string> kSearchFailed = {
    "Erreur|Erreur en cherchant le premier fichier (.\\levels\\*.dat)",
    "Erreur|Erreur pendant la recherche des fichiers des niveaux",
};

void ExpectErrorBoxesPlain(const MessageBoxCapture& boxes)
{
    for (const auto& box : boxes.Boxes()) {
        EXPECT_EQ(box.owner, nullptr) << box.text;
        EXPECT_FALSE(box.hasIcon) << box.text;
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK}) << box.text;
    }
}

std::vector<std::string> SearchOrder()
{
    std::vector<std::string> out;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(".\\levels\\*.dat", &fd);
    if (h == INVALID_HANDLE_VALUE) return out;
    do out.push_back(fd.cFileName);
    while (FindNextFileA(h, &fd));
    FindClose(h);
    return out;
}

TEST(CatalogueTest, MissingOrEmptyLevelsFolderShowsBothMessagesAndLeavesTheDash)
{
    for (bool withLevels : {false, true}) {
        GameFolder folder(withLevels);
        folder.AddFile("readme.txt");
        MessageBoxCapture boxes;
        HWND hDlg = CreateMainDialog();
        EXPECT_EQ(boxes.Summary(), kSearchFailed);
        ExpectErrorBoxesPlain(boxes);
        EXPECT_TRUE(ListEntries(hDlg).empty());
        EXPECT_EQ(ItemText(hDlg, IDC_COUNT), "-");
        EXPECT_EQ(g_nNumberLevels, 0);
        // The dialog still opens with its defaults.
        EXPECT_TRUE(IsChecked(hDlg, IDC_FULLSCREEN));
        EXPECT_TRUE(IsChecked(hDlg, IDC_SCALEUP));
        CloseMainDialog(hDlg);
    }
}

TEST(CatalogueTest, ListIsSortedWhateverTheSearchOrder)
{
    GameFolder folder;
    MessageBoxCapture boxes;
    for (const char* name : {"b.dat", "a.dat", "_c.dat", "B2.dat"}) folder.AddFile(std::string("levels\\") + name);
    const std::vector<std::string> sorted = {"_c", "a", "b", "B2"};
    // Meaningful only if the search returns them in another order.
    std::vector<std::string> found;
    for (const auto& name : SearchOrder()) found.push_back(name.substr(0, name.size() - 4));
    ASSERT_NE(found, sorted);
    HWND hDlg = CreateMainDialog();
    EXPECT_EQ(ListEntries(hDlg), sorted);
    EXPECT_EQ(ItemText(hDlg, IDC_COUNT), "4");
    EXPECT_TRUE(boxes.Boxes().empty());
    CloseMainDialog(hDlg);
}

TEST(CatalogueTest, OddEntriesAreListedAsTheSearchReturnsThem)
{
    GameFolder folder;
    MessageBoxCapture boxes;
    folder.AddFile("levels\\.dat");          // the empty level name
    folder.AddDirectory("levels\\old.dat");  // a directory named like an archive
    folder.AddFile("levels\\UPPER.DAT");     // the search ignores letter case
    folder.AddFile("levels\\notes.txt");     // not matched
    // The longest file name the host file system takes (255 bytes here; 259
    // on NTFS) keeps all but its last four characters.
    const std::string longName(251, 'L');
    folder.AddFile("levels\\" + longName + ".dat");
    HWND hDlg = CreateMainDialog();
    const std::vector<std::string> entries = ListEntries(hDlg);
    EXPECT_EQ(entries, (std::vector<std::string>{"", longName, "old", "UPPER"}));
    EXPECT_EQ(ItemText(hDlg, IDC_COUNT), "4");
    EXPECT_EQ(g_nNumberLevels, 4);
    EXPECT_TRUE(boxes.Boxes().empty());
    CloseMainDialog(hDlg);
}

// FindNextFileA that fails, as a disk error would, once nFailAfter entries
// have been returned by it.
decltype(&FindNextFileA) g_pRealFindNextFileA = nullptr;
int g_nFindNextLeft = 0;

BOOL WINAPI FailingFindNextFileA(HANDLE hFind, LPWIN32_FIND_DATAA pData)
{
    if (g_nFindNextLeft-- > 0) return g_pRealFindNextFileA(hFind, pData);
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

TEST(CatalogueTest, SearchFailingMidwayKeepsWhatWasAddedAndLeavesTheDash)
{
    GameFolder folder;
    MessageBoxCapture boxes;
    for (const char* name : {"a.dat", "b.dat", "c.dat", "d.dat"}) folder.AddFile(std::string("levels\\") + name);
    g_nFindNextLeft = 1;  // the first entry, one more, then the failure
    Install("FindNextFileA", &FailingFindNextFileA, &g_pRealFindNextFileA);
    HWND hDlg = CreateMainDialog();
    Uninstall("FindNextFileA", g_pRealFindNextFileA);
    EXPECT_EQ(boxes.Summary(), (std::vector<std::string>{
                                   "Erreur|Erreur en cherchant le fichier .dat suivant",
                                   "Erreur|Erreur pendant la recherche des fichiers des niveaux",
                               }));
    ExpectErrorBoxesPlain(boxes);
    EXPECT_EQ(ListEntries(hDlg).size(), 2u);
    EXPECT_EQ(g_nNumberLevels, 2);
    EXPECT_EQ(ItemText(hDlg, IDC_COUNT), "-");
    CloseMainDialog(hDlg);
}

TEST(CatalogueTest, RandomOnEmptyAndSingleLists)
{
    {
        GameFolder folder;
        MessageBoxCapture boxes;
        HWND hDlg = CreateMainDialog();
        boxes.Clear();
        std::srand(7);
        for (int i = 0; i < 50; ++i) {
            Click(hDlg, IDC_RANDOM);
            EXPECT_EQ(ListSelection(hDlg), LB_ERR);
        }
        EXPECT_TRUE(boxes.Boxes().empty());
        CloseMainDialog(hDlg);
    }
    {
        GameFolder folder;
        MessageBoxCapture boxes;
        folder.AddFile("levels\\solo.dat");
        HWND hDlg = CreateMainDialog();
        for (int i = 0; i < 50; ++i) {
            Click(hDlg, IDC_RANDOM);
            EXPECT_EQ(ListSelection(hDlg), 0);
        }
        EXPECT_TRUE(boxes.Boxes().empty());
        CloseMainDialog(hDlg);
    }
}

}  // namespace
