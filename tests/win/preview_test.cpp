// The level preview in the real dialog: the picture painted at (263, 7) read
// back from the screen, its replacement, repaints, failed loads and their
// messages, and the GDI objects, device contexts, locks and global blocks
// that every load must give back. The program's calls into gdi32, user32 and
// kernel32 are counted by redirecting this executable's import slots.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "pcx_writer.h"
#include "preview/preview_bitmap.h"
#include "preview/preview_load.h"
#include "resource.h"

namespace {

// ---------------------------------------------------------------- fixtures

constexpr int kPicWidth = 64;
constexpr int kPicHeight = 48;

// Palette entry k of picture `seed`: red is k itself, so every entry differs.
COLORREF PicColour(int seed, int k)
{
    return RGB(k, (k * 7 + seed * 40) & 0xFF, 255 - k);
}

// Palette index of pixel (x, y), 0 being the top line: neighbours differ, so
// a shift, a flip or a scale shows.
int PicIndex(int seed, int x, int y)
{
    return (x + 3 * y + seed * 50) % 256;
}

// An 8-bit, version 5 PCX of kPicWidth x kPicHeight (or the given size) with
// its 256-colour trailer.
std::string MakePcx(int seed, int width = kPicWidth, int height = kPicHeight)
{
    PcxFields f;
    f.xmax = static_cast<int16_t>(width - 1);
    f.ymax = static_cast<int16_t>(height - 1);
    f.bytesPerLine = static_cast<int16_t>((width + 1) & ~1);
    Bytes decoded;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < f.bytesPerLine; ++x) decoded.push_back(x < width ? PicIndex(seed, x, y) : 0);
    }
    Bytes trailer;
    for (int k = 0; k < 256; ++k) {
        const COLORREF c = PicColour(seed, k);
        trailer.insert(trailer.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
    }
    return AsString(PcxFile(f, decoded, &trailer));
}

struct Entry {
    std::string name;
    std::string data;
};

std::string MakeArchive(const std::vector<Entry>& entries)
{
    std::vector<ArchiveEntry> stored;
    for (const Entry& e : entries) stored.push_back({NameField(e.name), Bytes(e.data.begin(), e.data.end())});
    return AsString(LevelArchive(stored));
}

std::string LevelWithPicture(int seed)
{
    return MakeArchive({{"map.dat", "xyz"}, {"level.pcx", MakePcx(seed)}});
}

// A game folder with alpha (picture 1) and beta (picture 2), made current.
class TwoLevels : public GameFolder {
public:
    TwoLevels()
    {
        AddFile("levels\\alpha.dat", LevelWithPicture(1));
        AddFile("levels\\beta.dat", LevelWithPicture(2));
    }
};

// ------------------------------------------------ counting the program's calls

// What the program (and this test) asked of gdi32, user32 and kernel32 while a
// CallCounter lives, and what it has not given back yet.
struct Calls {
    std::set<HBITMAP> liveBitmaps;  // made by CreateDIBitmap, not yet deleted
    std::set<HGLOBAL> liveBlocks;   // made by GlobalAlloc, not yet freed
    int windowDCs = 0;              // GetDC minus ReleaseDC
    int memoryDCs = 0;              // CreateCompatibleDC minus DeleteDC
    int locks = 0;                  // successful GlobalLock minus GlobalUnlock
    int getDCCalls = 0;
    int createDIBitmapCalls = 0;
    int previewBlits = 0;             // BitBlt to (263, 7)
    int deletedWhileCurrent = 0;      // DeleteObject of the handle g_hBitmap still held
    std::vector<std::string> events;  // "create" and "delete" of bitmaps, in order
    bool failCreateDIBitmap = false;
    bool failGetDC = false;
    bool failGlobalLock = false;
    SIZE_T cbAllocLimit = 0;  // when not 0, GlobalAlloc refuses larger blocks
    int refusedAllocs = 0;
};
Calls g_calls;

// Counts calls while it lives; starts from zero.
class CallCounter {
public:
    CallCounter()
    {
        g_calls = Calls();
        WatchImport<1>(
            "CreateDIBitmap", &CreateDIBitmap,
            [](HDC, const BITMAPINFOHEADER*, DWORD, const void*, const BITMAPINFO*, UINT) {
                ++g_calls.createDIBitmapCalls;
                return g_calls.failCreateDIBitmap;
            },
            [](HBITMAP h, HDC, const BITMAPINFOHEADER*, DWORD, const void*, const BITMAPINFO*, UINT) {
                if (h == nullptr) return;
                g_calls.liveBitmaps.insert(h);
                g_calls.events.push_back("create");
            });
        WatchImport<2>("DeleteObject", &DeleteObject, nullptr, [](BOOL, HGDIOBJ h) {
            if (g_calls.liveBitmaps.erase(static_cast<HBITMAP>(h)) == 0) return;
            g_calls.events.push_back("delete");
            if (h == g_hBitmap) ++g_calls.deletedWhileCurrent;
        });
        WatchImport<3>(
            "GetDC", &GetDC,
            [](HWND) {
                ++g_calls.getDCCalls;
                return g_calls.failGetDC;
            },
            [](HDC hdc, HWND) { g_calls.windowDCs += hdc != nullptr; });
        WatchImport<4>("ReleaseDC", &ReleaseDC, nullptr, [](int, HWND, HDC) { --g_calls.windowDCs; });
        WatchImport<5>("CreateCompatibleDC", &CreateCompatibleDC, nullptr,
                       [](HDC h, HDC) { g_calls.memoryDCs += h != nullptr; });
        WatchImport<6>("DeleteDC", &DeleteDC, nullptr, [](BOOL, HDC) { --g_calls.memoryDCs; });
        WatchImport<7>("BitBlt", &BitBlt, nullptr, [](BOOL, HDC, int x, int y, int, int, HDC, int, int, DWORD) {
            g_calls.previewBlits += x == kPreviewLeft && y == kPreviewTop;
        });
        WatchImport<8>(
            "GlobalAlloc", &GlobalAlloc,
            [](UINT, SIZE_T cb) {
                const bool bRefused = g_calls.cbAllocLimit != 0 && cb > g_calls.cbAllocLimit;
                g_calls.refusedAllocs += bRefused;
                return bRefused;
            },
            [](HGLOBAL h, UINT, SIZE_T) {
                if (h != nullptr) g_calls.liveBlocks.insert(h);
            });
        WatchImport<9>("GlobalFree", &GlobalFree, nullptr, [](HGLOBAL, HGLOBAL h) { g_calls.liveBlocks.erase(h); });
        WatchImport<10>(
            "GlobalLock", &GlobalLock, [](HGLOBAL) { return g_calls.failGlobalLock; },
            [](LPVOID p, HGLOBAL) { g_calls.locks += p != nullptr; });
        WatchImport<11>("GlobalUnlock", &GlobalUnlock, nullptr, [](BOOL, HGLOBAL) { --g_calls.locks; });
    }
    ~CallCounter() { UnwatchImports(); }
    CallCounter(const CallCounter&) = delete;
    CallCounter& operator=(const CallCounter&) = delete;
};

// Nothing taken and not given back, apart from the preview bitmap itself.
void ExpectNothingHeld(const char* when)
{
    EXPECT_EQ(g_calls.liveBlocks.size(), 0u) << when;
    EXPECT_EQ(g_calls.windowDCs, 0) << when;
    EXPECT_EQ(g_calls.memoryDCs, 0) << when;
    EXPECT_EQ(g_calls.locks, 0) << when;
    EXPECT_EQ(g_calls.liveBitmaps.size(), g_hBitmap != nullptr ? 1u : 0u) << when;
    if (g_hBitmap != nullptr) {
        EXPECT_EQ(g_calls.liveBitmaps.count(g_hBitmap), 1u) << when;
    }
    EXPECT_EQ(g_calls.deletedWhileCurrent, 0) << when;
}

// ------------------------------------------------------------ the screen

// Client-area pixels of hDlg, row by row from the top, as COLORREF.
std::vector<COLORREF> ReadClient(HWND hDlg, int x, int y, int w, int h)
{
    std::vector<COLORREF> out;
    HDC hdc = GetDC(hDlg);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* pvBits = nullptr;
    HBITMAP hSection = CreateDIBSection(hdc, &bi, DIB_RGB_COLORS, &pvBits, nullptr, 0);
    HDC hdcMem = CreateCompatibleDC(hdc);
    HGDIOBJ hOld = SelectObject(hdcMem, hSection);
    BitBlt(hdcMem, 0, 0, w, h, hdc, x, y, SRCCOPY);
    GdiFlush();
    const auto* pPixels = static_cast<const uint32_t*>(pvBits);
    for (int i = 0; i < w * h; ++i) {
        const uint32_t v = pPixels[i];
        out.push_back(RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF));
    }
    SelectObject(hdcMem, hOld);
    DeleteDC(hdcMem);
    DeleteObject(hSection);
    ReleaseDC(hDlg, hdc);
    return out;
}

// Pixels of the preview area that differ from picture `seed`, with the first
// of them described in *pWhere.
int PictureMismatches(HWND hDlg, int seed, std::string* pWhere)
{
    const std::vector<COLORREF> px = ReadClient(hDlg, kPreviewLeft, kPreviewTop, kPicWidth, kPicHeight);
    int nBad = 0;
    for (int y = 0; y < kPicHeight; ++y) {
        for (int x = 0; x < kPicWidth; ++x) {
            const COLORREF want = PicColour(seed, PicIndex(seed, x, y));
            const COLORREF got = px[static_cast<size_t>(y * kPicWidth + x)];
            if (got != want && nBad++ == 0) {
                char sz[128];
                wsprintfA(sz, "(%d, %d): %06lx instead of %06lx", x, y, static_cast<unsigned long>(got),
                          static_cast<unsigned long>(want));
                *pWhere = sz;
            }
        }
    }
    return nBad;
}

#define EXPECT_PICTURE(hDlg, seed)                                                                          \
    do {                                                                                                    \
        std::string where_;                                                                                 \
        EXPECT_EQ(PictureMismatches((hDlg), (seed), &where_), 0) << "picture " << (seed) << ": " << where_; \
    } while (0)

// Covers the preview area with a colour no picture here uses, without
// invalidating anything, so that only a new paint can bring a picture back.
constexpr COLORREF kSpoil = RGB(1, 2, 3);
void Spoil(HWND hDlg)
{
    HDC hdc = GetDC(hDlg);
    HBRUSH hBrush = CreateSolidBrush(kSpoil);
    RECT rc = {kPreviewLeft, kPreviewTop, kPreviewLeft + kPicWidth, kPreviewTop + kPicHeight};
    FillRect(hdc, &rc, hBrush);
    DeleteObject(hBrush);
    ReleaseDC(hDlg, hdc);
    GdiFlush();
}

// The whole preview area is one colour: neither a picture nor the spoil.
void ExpectErasedArea(HWND hDlg)
{
    const std::vector<COLORREF> px = ReadClient(hDlg, kPreviewLeft, kPreviewTop, kPicWidth, kPicHeight);
    EXPECT_NE(px.front(), kSpoil) << "the area was not repainted";
    int nOther = 0;
    for (COLORREF c : px) nOther += c != px.front();
    EXPECT_EQ(nOther, 0) << "something is drawn in the preview area";
}

void Repaint(HWND hDlg)
{
    InvalidateRect(hDlg, nullptr, TRUE);
    PumpMessages(hDlg);
}

void FocusList(HWND hDlg)
{
    SetFocus(GetDlgItem(hDlg, IDC_LEVELLIST));
    PumpMessages(hDlg);
}

const std::string kOpenFailed = "Erreur|Erreur en ouvrant le fichier du niveau";
const std::string kNoBitmap = "Erreur|Impossible de charger la bitmap";

void ExpectPlainErrorBoxes(const MessageBoxCapture& boxes)
{
    for (const auto& box : boxes.Boxes()) {
        EXPECT_EQ(box.owner, nullptr) << box.text;
        EXPECT_FALSE(box.hasIcon) << box.text;
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK}) << box.text;
    }
}

}  // namespace

// ------------------------------------------------------------------ tests

TEST(PreviewTest, ViewerShowsTheSelectedPictureOneToOneAndRepaintsRedrawIt)
{
    GameFolder folder;
    // Entry i shows picture i + 1.
    for (int i = 0; i < 3; ++i) folder.AddFile("levels\\lvl" + std::to_string(i) + ".dat", LevelWithPicture(i + 1));
    MessageBoxCapture boxes;
    CallCounter counter;
    HWND hDlg = CreateMainDialog();

    // Ticked with nothing selected: wider, but nothing loaded or said.
    Click(hDlg, IDC_VIEWER);
    EXPECT_EQ(g_bViewerActive, 1);
    EXPECT_EQ(g_calls.createDIBitmapCalls, 0);
    EXPECT_EQ(g_hBitmap, nullptr);

    // The arrow key selects the first level and shows it at once.
    FocusList(hDlg);
    PressKey(hDlg, VK_DOWN);
    const int nFirst = ListSelection(hDlg);
    ASSERT_GE(nFirst, 0);
    ASSERT_LT(nFirst, 2);
    ASSERT_NE(g_hBitmap, nullptr);
    EXPECT_PICTURE(hDlg, nFirst + 1);
    // 1:1: the picture ends where it should, no scaling spills past it.
    BITMAP bm = {};
    GetObjectA(g_hBitmap, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, kPicWidth);
    EXPECT_EQ(bm.bmHeight, kPicHeight);
    const COLORREF beside = ReadClient(hDlg, kPreviewLeft + kPicWidth, kPreviewTop + 5, 1, 1)[0];
    const COLORREF below = ReadClient(hDlg, kPreviewLeft + 5, kPreviewTop + kPicHeight, 1, 1)[0];
    const COLORREF before = ReadClient(hDlg, kPreviewLeft - 1, kPreviewTop + 5, 1, 1)[0];
    EXPECT_EQ(beside, before);
    EXPECT_EQ(below, before);

    // A repaint redraws it, from the bitmap alone.
    Spoil(hDlg);
    const int nCreated = g_calls.createDIBitmapCalls;
    Repaint(hDlg);
    EXPECT_PICTURE(hDlg, nFirst + 1);
    EXPECT_EQ(g_calls.createDIBitmapCalls, nCreated);

    // The next selection replaces it: the old bitmap goes before the new one
    // is made, and never while g_hBitmap still names it.
    g_calls.events.clear();
    PressKey(hDlg, VK_DOWN);
    ASSERT_EQ(ListSelection(hDlg), nFirst + 1);
    EXPECT_PICTURE(hDlg, nFirst + 2);
    EXPECT_EQ(g_calls.events, (std::vector<std::string>{"delete", "create"}));
    Spoil(hDlg);
    Repaint(hDlg);
    EXPECT_PICTURE(hDlg, nFirst + 2);

    EXPECT_TRUE(boxes.Boxes().empty());
    ExpectNothingHeld("after two loads");
    CloseMainDialog(hDlg);
    EXPECT_EQ(g_hBitmap, nullptr);
    EXPECT_TRUE(g_calls.liveBitmaps.empty()) << "closing must delete the preview bitmap";
}

TEST(PreviewTest, SelectionWhileTheViewerIsOffIsShownWhenItIsTicked)
{
    TwoLevels folder;
    MessageBoxCapture boxes;
    CallCounter counter;
    HWND hDlg = CreateMainDialog();

    SelectEntry(hDlg, 1);
    EXPECT_EQ(g_hBitmap, nullptr);
    EXPECT_EQ(g_calls.createDIBitmapCalls, 0);
    EXPECT_TRUE(g_calls.liveBlocks.empty()) << "nothing is read while the viewer is off";

    Click(hDlg, IDC_VIEWER);
    EXPECT_PICTURE(hDlg, 2);

    // Unticked: the bitmap stays, and a repaint still draws it at (263, 7),
    // the narrowed window clipping it.
    HBITMAP hKept = g_hBitmap;
    Click(hDlg, IDC_VIEWER);
    EXPECT_EQ(g_bViewerActive, 0);
    EXPECT_EQ(g_hBitmap, hKept);
    const int nBlits = g_calls.previewBlits;
    Repaint(hDlg);
    EXPECT_GT(g_calls.previewBlits, nBlits);
    // Selecting while off loads nothing and keeps the old picture.
    SelectEntry(hDlg, 0);
    EXPECT_EQ(g_hBitmap, hKept);

    // Ticked again: the new selection's picture.
    Click(hDlg, IDC_VIEWER);
    EXPECT_PICTURE(hDlg, 1);
    EXPECT_TRUE(boxes.Boxes().empty());
    ExpectNothingHeld("after the viewer went off and on");
    CloseMainDialog(hDlg);
}

TEST(PreviewTest, RandomWithTheViewerOnShowsTheDrawnLevel)
{
    GameFolder folder;
    for (int i = 0; i < 3; ++i) folder.AddFile("levels\\lvl" + std::to_string(i) + ".dat", LevelWithPicture(i));
    MessageBoxCapture boxes;
    CallCounter counter;
    HWND hDlg = CreateMainDialog();
    Click(hDlg, IDC_VIEWER);
    std::set<int> drawn;
    for (int n = 0; n < 12; ++n) {
        Click(hDlg, IDC_RANDOM);
        const int nIndex = ListSelection(hDlg);
        ASSERT_GE(nIndex, 0);
        drawn.insert(nIndex);
        EXPECT_PICTURE(hDlg, nIndex);
    }
    EXPECT_GT(drawn.size(), 1u) << "twelve draws all fell on one level";
    EXPECT_TRUE(boxes.Boxes().empty());
    ExpectNothingHeld("after random choices");
    CloseMainDialog(hDlg);
}

TEST(PreviewTest, FailedLoadsAreReportedInOrderAndLeaveTheDialogUsable)
{
    GameFolder folder;
    folder.AddFile("levels\\a_good.dat", LevelWithPicture(1));
    folder.AddFile("levels\\b_gone.dat", LevelWithPicture(2));
    folder.AddFile("levels\\c_nopic.dat", MakeArchive({{"map.dat", "xyz"}, {"LEVEL.PCX", MakePcx(3)}}));
    std::string broken = MakePcx(4);
    broken[0] = 9;  // not a PCX
    folder.AddFile("levels\\d_broken.dat", MakeArchive({{"level.pcx", broken}}));
    std::string truncated = MakePcx(5).substr(0, 128 + 200);  // data ends before the image does
    folder.AddFile("levels\\e_short.dat", MakeArchive({{"level.pcx", truncated}}));
    MessageBoxCapture boxes;
    CallCounter counter;
    HWND hDlg = CreateMainDialog();
    ASSERT_EQ(ListEntries(hDlg).size(), 5u);
    DeleteFileA("levels\\b_gone.dat");  // listed, then gone
    Click(hDlg, IDC_VIEWER);

    struct Case {
        int index;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {1, {kOpenFailed, kNoBitmap}},
        {2, {kNoBitmap}},
        {3, {kNoBitmap}},
        {4, {kNoBitmap}},
    };
    for (const Case& c : cases) {
        SelectEntry(hDlg, 0);
        EXPECT_PICTURE(hDlg, 1);
        boxes.Clear();
        SelectEntry(hDlg, c.index);
        EXPECT_EQ(boxes.Summary(), c.messages) << "entry " << c.index;
        ExpectPlainErrorBoxes(boxes);
        EXPECT_EQ(g_hBitmap, nullptr);
        ExpectNothingHeld("after a failed load");
        // Later repaints draw nothing: the area shows the dialog's background.
        Spoil(hDlg);
        Repaint(hDlg);
        ExpectErasedArea(hDlg);
    }

    // Still usable: the good level shows again.
    boxes.Clear();
    SelectEntry(hDlg, 0);
    EXPECT_PICTURE(hDlg, 1);
    EXPECT_TRUE(boxes.Boxes().empty());
    CloseMainDialog(hDlg);
    EXPECT_TRUE(g_calls.liveBitmaps.empty());
}

TEST(PreviewTest, DeepGameFolderPreviewsAndOutlivesARefusedPictureBlock)
{
    // The game folder past 150 characters, where OpenFile takes no path.
    GameFolder folder;
    std::string deep = "game";
    while (folder.Path().size() + deep.size() < 160) deep += "\\deeper folder";
    // A header asking for 8192 x 8192 pixels of 4 planes of 8 bits: 32 bits
    // a pixel. The viewer asks only for the corner it shows, a few hundred
    // KiB, and the test refuses any block above 64 KiB (the small pictures'
    // take 4 KiB).
    PcxFields f;
    f.xmax = f.ymax = 8191;
    f.planes = 4;
    f.bytesPerLine = 8192;
    std::string huge = AsString(PcxHeader(f));
    // Runs of zeros that fill it, so that it is refused for its block, not
    // for data that ends early.
    for (int64_t k = 0, llLeft = int64_t{8192} * 8192 * 4; k < llLeft; k += 63) {
        huge += static_cast<char>(0xC0 | (llLeft - k < 63 ? llLeft - k : 63));
        huge += '\0';
    }
    folder.AddFile(deep + "\\levels\\a_first.dat", LevelWithPicture(1));
    folder.AddFile(deep + "\\levels\\b_huge.dat", MakeArchive({{"level.pcx", huge}}));
    folder.AddFile(deep + "\\levels\\c_next.dat", LevelWithPicture(3));
    ASSERT_TRUE(SetCurrentDirectoryA((folder.Path() + "\\" + deep).c_str()));
    char szCurrent[MAX_PATH] = {};
    ASSERT_GE(GetCurrentDirectoryA(sizeof szCurrent, szCurrent), 150u);
    MessageBoxCapture boxes;
    CallCounter counter;
    g_calls.cbAllocLimit = SIZE_T{64} << 10;
    HWND hDlg = CreateMainDialog();
    Click(hDlg, IDC_VIEWER);
    SelectEntry(hDlg, 0);
    EXPECT_PICTURE(hDlg, 1);
    EXPECT_TRUE(boxes.Boxes().empty());

    SelectEntry(hDlg, 1);
    EXPECT_EQ(g_calls.refusedAllocs, 1);
    EXPECT_EQ(boxes.Summary(), std::vector<std::string>{kNoBitmap});
    ExpectNothingHeld("after a refused picture block");
    // Still working: it lists, shows the next level, and closes.
    EXPECT_EQ(ListEntries(hDlg), (std::vector<std::string>{"a_first", "b_huge", "c_next"}));
    SelectEntry(hDlg, 2);
    EXPECT_PICTURE(hDlg, 3);
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    CloseMainDialog(hDlg);
    EXPECT_TRUE(g_calls.liveBitmaps.empty());
}

TEST(PreviewTest, PictureOfABitCountNoBitmapHasGetsNoBlock)
{
    // 119 x 263 pixels of 255 planes of 255 bits whose lines hold no bytes:
    // narrower than the window, so the corner kept is the whole picture, 254
    // MB of rows that the bitmap step would refuse. The test refuses any
    // block above 64 KiB: none may be asked for.
    PcxFields f;
    f.bitsPerPixel = 255;
    f.planes = 255;
    f.xmax = 118;
    f.ymax = 262;
    GameFolder folder;
    folder.AddFile("levels\\a_first.dat", LevelWithPicture(1));
    folder.AddFile("levels\\b_bits.dat", MakeArchive({{"level.pcx", AsString(PcxHeader(f))}}));
    MessageBoxCapture boxes;
    CallCounter counter;
    g_calls.cbAllocLimit = SIZE_T{64} << 10;
    HWND hDlg = CreateMainDialog();
    Click(hDlg, IDC_VIEWER);
    SelectEntry(hDlg, 0);
    EXPECT_PICTURE(hDlg, 1);
    SelectEntry(hDlg, 1);
    EXPECT_EQ(g_calls.refusedAllocs, 0);
    EXPECT_EQ(boxes.Summary(), std::vector<std::string>{kNoBitmap});
    EXPECT_EQ(g_hBitmap, nullptr);
    ExpectNothingHeld("after a picture of a bit count no bitmap has");
    CloseMainDialog(hDlg);
}

TEST(PreviewTest, PackedDibIsFreedWhenTheConversionFails)
{
    TwoLevels folder;
    MessageBoxCapture boxes;
    CallCounter counter;
    HWND hDlg = CreateMainDialog();
    Click(hDlg, IDC_VIEWER);

    bool* const faults[] = {&g_calls.failCreateDIBitmap, &g_calls.failGetDC};
    for (bool* pFault : faults) {
        SelectEntry(hDlg, 0);
        ASSERT_NE(g_hBitmap, nullptr);
        boxes.Clear();
        *pFault = true;
        SelectEntry(hDlg, 1);
        *pFault = false;
        EXPECT_EQ(boxes.Summary(), std::vector<std::string>{kNoBitmap});
        EXPECT_EQ(g_hBitmap, nullptr);
        ExpectNothingHeld("after a failed conversion");
    }
    CloseMainDialog(hDlg);
}

TEST(PreviewTest, DibToBitmapReadsBothHeaderFormsAndRefusesOverlongHeaders)
{
    GameFolder folder;
    MessageBoxCapture boxes;
    HWND hDlg = CreateMainDialog();
    Click(hDlg, IDC_VIEWER);  // the area at (263, 7) is inside the client area only when widened
    CallCounter counter;

    // A 2 x 2, 4-bit core-header DIB: 16 three-byte entries, then 2 rows of 4
    // bytes, bottom row first.
    const size_t cbCore = 12 + 16 * 3 + 2 * 4;
    HGLOBAL hCore = GlobalAlloc(GHND, cbCore);
    auto* pCore = static_cast<BYTE*>(GlobalLock(hCore));
    auto* pch = reinterpret_cast<BITMAPCOREHEADER*>(pCore);
    pch->bcSize = 12;
    pch->bcWidth = 2;
    pch->bcHeight = 2;
    pch->bcPlanes = 1;
    pch->bcBitCount = 4;
    const BYTE table[4][3] = {{0x10, 0x20, 0x30}, {0x40, 0x50, 0x60}, {0x70, 0x80, 0x90}, {0xA0, 0xB0, 0xC0}};
    std::memcpy(pCore + 12, table, sizeof table);
    pCore[60] = 0x23;  // bottom row: entries 2, 3
    pCore[64] = 0x01;  // top row: entries 0, 1
    GlobalUnlock(hCore);
    HBITMAP hBitmap = DibToBitmap(reinterpret_cast<HBITMAP>(hCore), hDlg);
    ASSERT_NE(hBitmap, nullptr);
    Paint(hBitmap, hDlg);
    const std::vector<COLORREF> px = ReadClient(hDlg, kPreviewLeft, kPreviewTop, 2, 2);
    auto ColourOf = [&](int k) { return RGB(table[k][2], table[k][1], table[k][0]); };
    EXPECT_EQ(px, (std::vector<COLORREF>{ColourOf(0), ColourOf(1), ColourOf(2), ColourOf(3)}));
    DeleteObject(hBitmap);

    // An info header whose used-colour count (300) needs more table than the
    // block holds: refused before GDI reads anything.
    const size_t cbShort = 40 + 256 * 4 + 4 * 2;
    HGLOBAL hShort = GlobalAlloc(GHND, cbShort);
    auto* pbih = static_cast<BITMAPINFOHEADER*>(GlobalLock(hShort));
    *pbih = {};
    pbih->biSize = 40;
    pbih->biWidth = 4;
    pbih->biHeight = 2;
    pbih->biPlanes = 1;
    pbih->biBitCount = 8;
    pbih->biClrUsed = 256;
    GlobalUnlock(hShort);
    hBitmap = DibToBitmap(reinterpret_cast<HBITMAP>(hShort), hDlg);
    EXPECT_NE(hBitmap, nullptr) << "the block as the decoder lays it out converts";
    DeleteObject(hBitmap);
    static_cast<BITMAPINFOHEADER*>(GlobalLock(hShort))->biClrUsed = 300;
    GlobalUnlock(hShort);
    const int nCreate = g_calls.createDIBitmapCalls;
    EXPECT_EQ(DibToBitmap(reinterpret_cast<HBITMAP>(hShort), hDlg), nullptr);
    EXPECT_EQ(g_calls.createDIBitmapCalls, nCreate);

    // Null or unlockable handles: null, and nothing else is asked for.
    const int nGetDC = g_calls.getDCCalls;
    EXPECT_EQ(DibToBitmap(nullptr, hDlg), nullptr);
    g_calls.failGlobalLock = true;
    EXPECT_EQ(DibToBitmap(reinterpret_cast<HBITMAP>(hShort), hDlg), nullptr);
    g_calls.failGlobalLock = false;
    EXPECT_EQ(g_calls.getDCCalls, nGetDC);

    // Paint with no bitmap draws nothing and takes no device context.
    Paint(nullptr, hDlg);
    EXPECT_EQ(g_calls.getDCCalls, nGetDC);

    GlobalFree(hCore);
    GlobalFree(hShort);
    EXPECT_EQ(g_calls.locks, 0);
    EXPECT_EQ(g_calls.windowDCs, 0);
    EXPECT_EQ(g_calls.memoryDCs, 0);
    EXPECT_TRUE(g_calls.liveBitmaps.empty());
    CloseMainDialog(hDlg);
}

TEST(PreviewTest, WidePictureIsClippedAtTheWindowEdgeNotScaled)
{
    GameFolder folder;
    folder.AddFile("levels\\wide.dat", MakeArchive({{"level.pcx", MakePcx(6, 640, 480)}}));
    MessageBoxCapture boxes;
    HWND hDlg = CreateMainDialog();
    Click(hDlg, IDC_VIEWER);
    SelectEntry(hDlg, 0);
    ASSERT_NE(g_hBitmap, nullptr);
    RECT rcClient;
    GetClientRect(hDlg, &rcClient);
    ASSERT_LT(rcClient.right, kPreviewLeft + 640);
    // The last visible column is the picture's own column there, 1:1: read
    // through the dialog's DC, which GDI clips to the window, as the program's
    // own painting is.
    const int x = rcClient.right - 1 - kPreviewLeft;
    const int y = rcClient.bottom - 1 - kPreviewTop;
    EXPECT_EQ(ReadClient(hDlg, rcClient.right - 1, kPreviewTop, 1, 1)[0], PicColour(6, PicIndex(6, x, 0)));
    EXPECT_EQ(ReadClient(hDlg, kPreviewLeft, rcClient.bottom - 1, 1, 1)[0], PicColour(6, PicIndex(6, 0, y)));
    EXPECT_TRUE(boxes.Boxes().empty());
    CloseMainDialog(hDlg);
}

namespace {

// A screen-sized version 5 PCX, 8-bit with the 256 colours of picture 7 or,
// with 3 planes, 24-bit whose red, green and blue at (x, y) are the indices
// of pictures 1, 2 and 3 there. Only the top-left 1024 x 1024 pixels vary;
// the rest is runs of one value, encoded directly, to keep it quick.
std::string MakeLargePcx(int width, int height, int planes)
{
    Bytes file = PcxHeader(PcxShape(8, planes, width, height, width));
    for (int y = 0; y < height; ++y) {
        for (int p = 0; p < planes; ++p) {
            Bytes varying;
            for (int x = 0; x < 1024 && y < 1024; ++x) varying.push_back(PicIndex(planes == 1 ? 7 : p + 1, x, y));
            const Bytes encoded = PcxEncode(varying);
            file.insert(file.end(), encoded.begin(), encoded.end());
            for (int n = width - static_cast<int>(varying.size()); n > 0; n -= 63) {
                file.insert(file.end(), {static_cast<uint8_t>(0xC0 | (n < 63 ? n : 63)), 0x55});
            }
        }
    }
    if (planes == 1) {
        file.push_back(12);
        for (int k = 0; k < 256; ++k) {
            const COLORREF c = PicColour(7, k);
            file.insert(file.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
        }
    }
    return AsString(file);
}

}  // namespace

TEST(PreviewTest, ScreenSizedPicturesShowTheirVisibleCornerFromABitmapOfItsSize)
{
    GameFolder folder;
    folder.AddFile("levels\\a_24bit.dat", MakeArchive({{"level.pcx", MakeLargePcx(3840, 2160, 3)}}));
    folder.AddFile("levels\\b_8192.dat", MakeArchive({{"level.pcx", MakeLargePcx(8192, 8192, 1)}}));
    MessageBoxCapture boxes;
    CallCounter counter;
    g_calls.cbAllocLimit = SIZE_T{4} << 20;  // a whole picture's block would not do
    HWND hDlg = CreateMainDialog();
    Click(hDlg, IDC_VIEWER);
    RECT rc;
    GetClientRect(hDlg, &rc);
    const int nWidth = rc.right - kPreviewLeft;
    const int nHeight = rc.bottom - kPreviewTop;
    for (int nLevel = 0; nLevel < 2; ++nLevel) {
        SelectEntry(hDlg, nLevel);
        ASSERT_NE(g_hBitmap, nullptr) << "level " << nLevel;
        BITMAP bm = {};
        GetObjectA(g_hBitmap, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, nWidth);
        EXPECT_EQ(bm.bmHeight, nHeight);
        const std::vector<COLORREF> px = ReadClient(hDlg, kPreviewLeft, kPreviewTop, nWidth, nHeight);
        int nBad = 0;
        for (int y = 0; y < nHeight; ++y) {
            for (int x = 0; x < nWidth; ++x) {
                const COLORREF want = nLevel == 0 ? RGB(PicIndex(1, x, y), PicIndex(2, x, y), PicIndex(3, x, y))
                                                  : PicColour(7, PicIndex(7, x, y));
                nBad += px[static_cast<size_t>(y * nWidth + x)] != want;
            }
        }
        EXPECT_EQ(nBad, 0) << "level " << nLevel << ": pixels unlike the picture's";
    }
    EXPECT_EQ(g_calls.refusedAllocs, 0);
    EXPECT_TRUE(boxes.Boxes().empty());
    ExpectNothingHeld("after screen-sized pictures");
    CloseMainDialog(hDlg);
}

namespace {

// While the lookup's error box for a missing archive is up, the user picks
// another level: its load runs inside the box's message loop.
HWND g_hNestedDlg = nullptr;
int g_nNestedIndex = -1;
bool g_bNestedDone = false;

LRESULT CALLBACK PickDuringBox(int nCode, WPARAM wParam, LPARAM lParam)
{
    const auto* pMsg = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (nCode == HC_ACTION && !g_bNestedDone && pMsg->message == WM_INITDIALOG && pMsg->hwnd != g_hNestedDlg) {
        g_bNestedDone = true;
        HWND hList = GetDlgItem(g_hNestedDlg, IDC_LEVELLIST);
        SendMessageA(hList, LB_SETCURSEL, static_cast<WPARAM>(g_nNestedIndex), 0);
        PostMessageA(g_hNestedDlg, WM_COMMAND, MAKEWPARAM(IDC_LEVELLIST, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(hList));
    }
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

}  // namespace

TEST(PreviewTest, LoadNestedInAnErrorBoxLeavesNoBitmapBehind)
{
    GameFolder folder;
    folder.AddFile("levels\\a_good.dat", LevelWithPicture(1));
    folder.AddFile("levels\\b_gone.dat", LevelWithPicture(2));
    MessageBoxCapture boxes;
    CallCounter counter;
    HWND hDlg = CreateMainDialog();
    DeleteFileA("levels\\b_gone.dat");
    Click(hDlg, IDC_VIEWER);

    g_hNestedDlg = hDlg;
    g_nNestedIndex = 0;
    g_bNestedDone = false;
    HHOOK hHook = SetWindowsHookExA(WH_CALLWNDPROCRET, PickDuringBox, nullptr, GetCurrentThreadId());
    SelectEntry(hDlg, 1);
    UnhookWindowsHookEx(hHook);
    ASSERT_TRUE(g_bNestedDone);
    EXPECT_EQ(g_calls.createDIBitmapCalls, 1) << "the nested load made its bitmap";
    EXPECT_EQ(boxes.Summary(), (std::vector<std::string>{kOpenFailed, kNoBitmap}));
    ExpectNothingHeld("after a load nested in an error box");

    CloseMainDialog(hDlg);
    EXPECT_TRUE(g_calls.liveBitmaps.empty());
}

TEST(PreviewTest, ThousandLoadsLeaveNoGdiObjectOrBlockBehind)
{
    TwoLevels folder;
    folder.AddFile("levels\\gamma.dat", MakeArchive({{"other", "x"}}));  // no picture: the failure path too
    MessageBoxCapture boxes;
    CallCounter counter;
    HWND hDlg = CreateMainDialog();
    Click(hDlg, IDC_VIEWER);
    SelectEntry(hDlg, 0);
    const DWORD dwGdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD dwUserBefore = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);

    for (int n = 0; n < 1000; ++n) SelectEntry(hDlg, n % 3 == 2 ? 2 : n % 2);
    SelectEntry(hDlg, 0);
    EXPECT_EQ(g_calls.createDIBitmapCalls, 1 + 667 + 1);
    EXPECT_EQ(boxes.Boxes().size(), 333u);
    ExpectNothingHeld("after 1,000 loads");
    EXPECT_PICTURE(hDlg, 1);

    // Where the platform counts a process's objects, it agrees.
    const DWORD dwGdiAfter = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (dwGdiBefore != 0) {
        EXPECT_LE(dwGdiAfter, dwGdiBefore + 5);
        EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), dwUserBefore + 5);
    } else {
        std::printf("GetGuiResources answers 0 here; counted through the import slots only\n");
    }
    CloseMainDialog(hDlg);
    EXPECT_TRUE(g_calls.liveBitmaps.empty());
    EXPECT_TRUE(g_calls.liveBlocks.empty());
}

namespace {

// The bitmap's pixels as 32-bit BGRX, top row first.
std::vector<DWORD> BitmapPixels(HBITMAP hBitmap, int nWidth, int nHeight)
{
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = nWidth;
    bmi.bmiHeader.biHeight = -nHeight;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    std::vector<DWORD> px(static_cast<size_t>(nWidth) * static_cast<size_t>(nHeight));
    HDC hdc = GetDC(nullptr);
    GetDIBits(hdc, hBitmap, 0, static_cast<UINT>(nHeight), px.data(), &bmi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, hdc);
    return px;
}

// An 8-bit packed DIB with nColours table entries and pixel value
// (x * 37 + y * 11) & 0xFF, so that indices past a short table occur.
HGLOBAL MakeIndexed8(int nWidth, int nHeight, int nColours, bool bTopDown)
{
    const size_t cbStride = (static_cast<size_t>(nWidth) + 3) & ~static_cast<size_t>(3);
    const size_t cb = 40 + 4 * static_cast<size_t>(nColours) + cbStride * static_cast<size_t>(nHeight);
    HGLOBAL hBlock = GlobalAlloc(GHND, cb);
    auto* pbi = static_cast<BITMAPINFO*>(GlobalLock(hBlock));
    pbi->bmiHeader.biSize = 40;
    pbi->bmiHeader.biWidth = nWidth;
    pbi->bmiHeader.biHeight = bTopDown ? -nHeight : nHeight;
    pbi->bmiHeader.biPlanes = 1;
    pbi->bmiHeader.biBitCount = 8;
    pbi->bmiHeader.biSizeImage = static_cast<DWORD>(cbStride * static_cast<size_t>(nHeight));
    pbi->bmiHeader.biClrUsed = static_cast<DWORD>(nColours);
    for (int i = 0; i < nColours; ++i) {
        pbi->bmiColors[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 3), 0};
    }
    BYTE* pBits = reinterpret_cast<BYTE*>(pbi) + 40 + 4 * nColours;
    for (int y = 0; y < nHeight; ++y) {
        for (int x = 0; x < nWidth; ++x)
            pBits[static_cast<size_t>(y) * cbStride + static_cast<size_t>(x)] =
                static_cast<BYTE>((x * 37 + y * 11) & 0xFF);
    }
    GlobalUnlock(hBlock);
    return hBlock;
}

}  // namespace

TEST(PreviewTest, EightBitPicturesConvertAsGdiConvertsThemItself)
{
    // DibToBitmap widens 8-bit pictures to 32 bits before GDI sees them; the
    // result must be what GDI makes of the 8-bit DIB directly.
    GameFolder folder;
    MessageBoxCapture boxes;
    HWND hDlg = CreateMainDialog();
    struct Case {
        int nWidth, nHeight, nColours;
        bool bTopDown;
    };
    for (const Case& c : {Case{5, 3, 256, false}, Case{640, 480, 256, false}, Case{7, 4, 16, false},
                          Case{9, 2, 256, true}, Case{3, 3, 2, true}}) {
        HGLOBAL hBlock = MakeIndexed8(c.nWidth, c.nHeight, c.nColours, c.bTopDown);
        HBITMAP hOurs = DibToBitmap(reinterpret_cast<HBITMAP>(hBlock), hDlg);
        ASSERT_NE(hOurs, nullptr) << c.nWidth << "x" << c.nHeight;
        const auto* pbi = static_cast<const BITMAPINFO*>(GlobalLock(hBlock));
        HDC hdc = GetDC(hDlg);
        HBITMAP hGdi = CreateDIBitmap(hdc, &pbi->bmiHeader, CBM_INIT,
                                      reinterpret_cast<const BYTE*>(pbi) + 40 + 4 * c.nColours, pbi, DIB_RGB_COLORS);
        ReleaseDC(hDlg, hdc);
        GlobalUnlock(hBlock);
        ASSERT_NE(hGdi, nullptr);
        EXPECT_EQ(BitmapPixels(hOurs, c.nWidth, c.nHeight), BitmapPixels(hGdi, c.nWidth, c.nHeight))
            << c.nWidth << "x" << c.nHeight << " with " << c.nColours << " colours" << (c.bTopDown ? ", top-down" : "");
        DeleteObject(hOurs);
        DeleteObject(hGdi);
        GlobalFree(hBlock);
    }
    CloseMainDialog(hDlg);
}
