// The launcher under Wine: the real dialog starts the stand-in vorbel.exe
// through the shell, and the stand-in's log tells exactly what it received
// (parameters after its own name, and its current directory).
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "resource.h"

#ifndef VBL_STANDIN_GAME
#error "VBL_STANDIN_GAME must name the stand-in vorbel.exe (tools/standin-game)"
#endif

namespace {

// The shell writes the program's name, one blank, then the parameters as
// given: what follows the name is this blank and the parameter string.
std::string AsReceived(const std::string& params)
{
    return " " + params;
}

// One line of the stand-in's log.
struct GameStart {
    std::string params;       // raw command line after the program's name
    std::string dir;          // its current directory
    std::string commandLine;  // the whole raw command line
};

// Generous bounds for a process start under Wine.
constexpr DWORD kStartTimeoutMs = 10000;
// How long to keep watching for a start that must not happen.
constexpr DWORD kSettleMs = 2000;

std::string WindowsPath(const std::string& path)
{
    if (path.empty() || path[0] != '/') return path;
    std::string out = "Z:" + path;  // Wine's drive for the host's root
    for (char& c : out) {
        if (c == '/') c = '\\';
    }
    return out;
}

std::vector<std::string> Split(const std::string& s, char sep)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t pos; (pos = s.find(sep, start)) != std::string::npos; start = pos + 1) {
        parts.push_back(s.substr(start, pos - start));
    }
    parts.push_back(s.substr(start));
    return parts;
}

// Pumps hDlg's messages while waiting, as the modal loop would.
void Wait(HWND hDlg, DWORD nMs)
{
    const DWORD nStart = GetTickCount();
    while (GetTickCount() - nStart < nMs) {
        PumpMessages(hDlg);
        Sleep(50);
    }
}

// Alt+<letter> through the dialog manager, as the mnemonic is typed.
void PressAltKey(HWND hDlg, char cLetter)
{
    MSG msg = {};
    msg.hwnd = GetFocus() != nullptr ? GetFocus() : hDlg;
    msg.message = WM_SYSCHAR;
    msg.wParam = static_cast<WPARAM>(cLetter);
    msg.lParam = 0x20000001;  // Alt held, one repeat
    if (!IsDialogMessageA(hDlg, &msg)) DispatchMessageA(&msg);
    PumpMessages(hDlg);
}

// Two clicks of the left button on a list entry, the second a double-click,
// as the mouse delivers them.
void DoubleClickEntry(HWND hDlg, int nIndex)
{
    HWND hList = GetDlgItem(hDlg, IDC_LEVELLIST);
    RECT rc = {};
    ASSERT_NE(SendMessageA(hList, LB_GETITEMRECT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(&rc)), LB_ERR);
    const LPARAM pt = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    SendMessageA(hList, WM_LBUTTONDOWN, MK_LBUTTON, pt);
    SendMessageA(hList, WM_LBUTTONUP, 0, pt);
    SendMessageA(hList, WM_LBUTTONDBLCLK, MK_LBUTTON, pt);
    SendMessageA(hList, WM_LBUTTONUP, 0, pt);
    PumpMessages(hDlg);
}

struct DialogState {
    int nSelection;
    std::vector<std::string> entries;
    std::vector<bool> checks;  // the eight check boxes, 3000 to 3008 less 3002
    bool operator==(const DialogState& o) const
    {
        return nSelection == o.nSelection && entries == o.entries && checks == o.checks;
    }
};

DialogState StateOf(HWND hDlg)
{
    DialogState state{ListSelection(hDlg), ListEntries(hDlg), {}};
    for (int nId : {IDC_FULLSCREEN, IDC_VIEWER, IDC_SCALEUP, IDC_NOSOUND, IDC_MUSICNOSOUND, IDC_NOGORE, IDC_NOFLIES,
                    IDC_MIRROR}) {
        state.checks.push_back(IsChecked(hDlg, nId));
    }
    return state;
}

int IndexOf(HWND hDlg, const std::string& name)
{
    const std::vector<std::string> entries = ListEntries(hDlg);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i] == name) return static_cast<int>(i);
    }
    ADD_FAILURE() << "no list entry " << name;
    return -1;
}

class LauncherTest : public testing::Test {
protected:
    void SetUp() override
    {
        // Inherited by the games the shell starts: log only, no message box.
        SetEnvironmentVariableA("VBL_STANDIN_QUIET", "1");
    }
    void TearDown() override
    {
        if (hDlg_ != nullptr) CloseMainDialog(hDlg_);
        SetEnvironmentVariableA("VBL_STANDIN_QUIET", nullptr);
    }

    static void InstallGame(GameFolder& folder)
    {
        const std::string from = WindowsPath(VBL_STANDIN_GAME);
        ASSERT_TRUE(CopyFileA(from.c_str(), (folder.Path() + "\\vorbel.exe").c_str(), FALSE)) << from;
    }
    void InstallGame() { InstallGame(folder_); }
    void AddLevels(std::initializer_list<const char*> names)
    {
        for (const char* pszName : names) folder_.AddFile(std::string("levels\\") + pszName + ".dat");
    }
    // Opens the dialog in the current folder; forgets the boxes it showed.
    HWND OpenDialog()
    {
        hDlg_ = CreateMainDialog();
        boxes_.Clear();
        return hDlg_;
    }

    static std::vector<GameStart> ReadLog(const GameFolder& folder)
    {
        std::vector<GameStart> starts;
        const std::string path = folder.Path() + "\\vorbel-standin.log";
        // A game may be writing it: then it cannot be opened yet.
        HANDLE hFile = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (hFile == INVALID_HANDLE_VALUE) return starts;
        std::string text;
        char buf[4096];
        DWORD nRead = 0;
        while (ReadFile(hFile, buf, sizeof buf, &nRead, nullptr) && nRead > 0) text.append(buf, nRead);
        CloseHandle(hFile);
        for (const std::string& line : Split(text, '\n')) {
            if (line.empty()) continue;
            const std::vector<std::string> fields = Split(line.substr(0, line.size() - 1), '\t');  // less its CR
            EXPECT_EQ(fields.size(), 3u) << line;
            if (fields.size() == 3) starts.push_back({fields[0], fields[1], fields[2]});
        }
        return starts;
    }

    // Waits until nExpected games have started (at most kStartTimeoutMs),
    // then a while longer to catch any extra start; returns all starts.
    std::vector<GameStart> WaitForStarts(size_t nExpected) const
    {
        const DWORD nStart = GetTickCount();
        while (ReadLog(folder_).size() < nExpected && GetTickCount() - nStart < kStartTimeoutMs) Wait(hDlg_, 100);
        Wait(hDlg_, kSettleMs);
        return ReadLog(folder_);
    }

    GameFolder folder_;
    MessageBoxCapture boxes_;  // also catches the catalogue's boxes for an empty folder
    HWND hDlg_ = nullptr;
};

TEST_F(LauncherTest, PlayStartsTheSelectedLevelWithTheDefaultOptions)
{
    struct Trigger {
        const char* pszName;
        std::function<void(HWND)> press;
    };
    const Trigger triggers[] = {
        {"button", [](HWND h) { Click(h, IDC_PLAY); }},
        {"Enter", [](HWND h) { PressKey(h, VK_RETURN); }},
        {"Alt+J", [](HWND h) { PressAltKey(h, 'j'); }},
    };
    InstallGame();
    AddLevels({"alpha", "my level", "zeta"});
    HWND hDlg = OpenDialog();
    SetFocus(GetDlgItem(hDlg, IDC_LEVELLIST));
    SelectEntry(hDlg, IndexOf(hDlg, "my level"));
    size_t nStarts = 0;
    for (const Trigger& trigger : triggers) {
        SCOPED_TRACE(trigger.pszName);
        trigger.press(hDlg);
        const std::vector<GameStart> starts = WaitForStarts(++nStarts);
        ASSERT_EQ(starts.size(), nStarts);
        EXPECT_EQ(starts.back().params, AsReceived(" -dat .\\levels\\my level.dat -fullscreen -scaleup"))
            << starts.back().commandLine;
        EXPECT_EQ(lstrcmpiA(starts.back().dir.c_str(), folder_.Path().c_str()), 0) << starts.back().dir;
    }
    EXPECT_TRUE(boxes_.Summary().empty());
    EXPECT_TRUE(IsWindow(hDlg) && IsWindowEnabled(hDlg));
}

TEST_F(LauncherTest, DoubleClickStartsOneGameWithTheClickedEntry)
{
    InstallGame();
    AddLevels({"alpha", "beta", "gamma"});
    HWND hDlg = OpenDialog();
    SelectEntry(hDlg, IndexOf(hDlg, "alpha"));
    DoubleClickEntry(hDlg, IndexOf(hDlg, "gamma"));
    const std::vector<GameStart> starts = WaitForStarts(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].params, AsReceived(" -dat .\\levels\\gamma.dat -fullscreen -scaleup"));
    EXPECT_EQ(ListSelection(hDlg), IndexOf(hDlg, "gamma"));
    EXPECT_TRUE(boxes_.Summary().empty());
}

TEST_F(LauncherTest, EachPressStartsAFurtherGameWithTheBoxesReadAfresh)
{
    InstallGame();
    AddLevels({"level"});
    HWND hDlg = OpenDialog();
    SelectEntry(hDlg, 0);
    Click(hDlg, IDC_PLAY);
    Click(hDlg, IDC_PLAY);
    std::vector<GameStart> starts = WaitForStarts(2);
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[0].params, AsReceived(" -dat .\\levels\\level.dat -fullscreen -scaleup"));
    EXPECT_EQ(starts[1].params, starts[0].params);

    Click(hDlg, IDC_FULLSCREEN);  // unticks both screen options
    Click(hDlg, IDC_MUSICNOSOUND);
    Click(hDlg, IDC_NOFLIES);
    Click(hDlg, IDC_MIRROR);
    Click(hDlg, IDC_PLAY);
    starts = WaitForStarts(3);
    ASSERT_EQ(starts.size(), 3u);
    EXPECT_EQ(starts[2].params, AsReceived(" -dat .\\levels\\level.dat -musicnosound -noflies -mirror"));
    EXPECT_TRUE(boxes_.Summary().empty());
}

TEST_F(LauncherTest, LongLevelNameReachesTheGameWhole)
{
    // Longer than any fixed 96-character string could hold with the switches.
    const std::string name = "a level name that goes on and on " + std::string(100, 'z');
    InstallGame();
    AddLevels({name.c_str()});
    HWND hDlg = OpenDialog();
    SelectEntry(hDlg, 0);
    Click(hDlg, IDC_NOGORE);
    Click(hDlg, IDC_PLAY);
    const std::vector<GameStart> starts = WaitForStarts(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].params, AsReceived(" -dat .\\levels\\" + name + ".dat -fullscreen -scaleup -nogore"));
    EXPECT_TRUE(boxes_.Summary().empty());
}

TEST_F(LauncherTest, FireworksIgnoresTheSelection)
{
    struct Case {
        const char* pszName;
        int nSelection;
        std::vector<int> clicks;
        const char* pszExpected;
    };
    const Case cases[] = {
        {"defaults, level selected", 0, {}, " -fireworks -fullscreen -scaleup"},
        {"nothing selected, no gore", -1, {IDC_FULLSCREEN, IDC_NOGORE}, " -fireworks -nogore"},
    };
    InstallGame();
    AddLevels({"level"});
    HWND hDlg = OpenDialog();
    size_t nStarts = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        SelectEntry(hDlg, c.nSelection);
        for (int nId : c.clicks) Click(hDlg, nId);
        Click(hDlg, IDC_FIREWORKS);
        const std::vector<GameStart> starts = WaitForStarts(++nStarts);
        ASSERT_EQ(starts.size(), nStarts);
        EXPECT_EQ(starts.back().params, AsReceived(c.pszExpected));
        EXPECT_EQ(starts.back().commandLine.find(" -dat "), std::string::npos);
    }
    EXPECT_TRUE(boxes_.Summary().empty());
}

TEST_F(LauncherTest, FireworksStartsWithAnEmptyList)
{
    InstallGame();
    HWND hDlg = OpenDialog();
    ASSERT_TRUE(ListEntries(hDlg).empty());
    Click(hDlg, IDC_FIREWORKS);
    const std::vector<GameStart> starts = WaitForStarts(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].params, AsReceived(" -fireworks -fullscreen -scaleup"));
    EXPECT_TRUE(boxes_.Summary().empty());
}

TEST_F(LauncherTest, MissingGameGivesOneErrorAndChangesNothing)
{
    struct Case {
        const char* pszName;
        int nButton;
    };
    AddLevels({"alpha", "beta"});
    HWND hDlg = OpenDialog();
    SelectEntry(hDlg, IndexOf(hDlg, "beta"));
    Click(hDlg, IDC_NOSOUND);
    Click(hDlg, IDC_MIRROR);
    for (const Case& c : {Case{"Play", IDC_PLAY}, Case{"Fireworks", IDC_FIREWORKS}}) {
        SCOPED_TRACE(c.pszName);
        const DialogState before = StateOf(hDlg);
        boxes_.Clear();
        Click(hDlg, c.nButton);
        Wait(hDlg, 500);
        ASSERT_EQ(boxes_.Summary(), std::vector<std::string>{"Erreur|Erreur en éxécutant vorbel.exe"});
        EXPECT_EQ(boxes_.Boxes()[0].owner, nullptr);
        EXPECT_EQ(boxes_.Boxes()[0].buttons, std::vector<int>{IDOK});
        EXPECT_FALSE(boxes_.Boxes()[0].hasIcon);
        EXPECT_TRUE(StateOf(hDlg) == before);
        EXPECT_TRUE(IsWindow(hDlg) && IsWindowEnabled(hDlg));
    }
}

TEST_F(LauncherTest, PlayWithNothingSelectedSaysSoAndStartsNothing)
{
    struct Case {
        const char* pszName;
        std::vector<const char*> levels;
    };
    for (const Case& c : {Case{"levels listed", {"alpha", "beta"}}, Case{"empty list", {}}}) {
        SCOPED_TRACE(c.pszName);
        GameFolder folder;  // made current while this case runs
        InstallGame(folder);
        for (const char* pszName : c.levels) folder.AddFile(std::string("levels\\") + pszName + ".dat");
        HWND hDlg = OpenDialog();
        ASSERT_EQ(ListSelection(hDlg), LB_ERR);
        Click(hDlg, IDC_PLAY);
        Wait(hDlg, kSettleMs);
        ASSERT_EQ(boxes_.Summary(), std::vector<std::string>{"Hey!|T'as rien sélectionné!"});
        EXPECT_EQ(boxes_.Boxes()[0].owner, nullptr);
        EXPECT_EQ(boxes_.Boxes()[0].buttons, std::vector<int>{IDOK});
        EXPECT_FALSE(boxes_.Boxes()[0].hasIcon);
        EXPECT_TRUE(ReadLog(folder).empty()) << "a game was started";
        CloseMainDialog(hDlg);
        hDlg_ = nullptr;
    }
}

}  // namespace
