// vbltool.exe as a level author types it in cmd: wildcards that cmd leaves
// to the program, names beyond the ANSI code page, accented names, the help,
// and file names in messages. Each row is one command line given to cmd,
// run in one folder in order, each seeing what the rows before it wrote.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "game_folder.h"
#include "pcx_writer.h"
#include "vbl_platform.h"

namespace {

std::wstring Wide(const std::string& utf8)
{
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                        &wide[0], static_cast<int>(wide.size()))));
    return wide;
}

// vbltool.exe of this build, as Windows names it.
std::wstring VbltoolExe()
{
    std::wstring path = Wide(VBL_VBLTOOL_EXE);
    for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
    return path;
}

std::string Contents(const std::wstring& path)
{
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "(none)";
    std::string bytes;
    char ab[4096];
    DWORD cb = 0;
    while (ReadFile(h, ab, sizeof(ab), &cb, nullptr) && cb > 0) bytes.append(ab, cb);
    CloseHandle(h);
    return bytes;
}

std::string Narrow(const std::wstring& wide)
{
    std::string utf8(wide.size() * 3, '\0');
    utf8.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                                        &utf8[0], static_cast<int>(utf8.size()), nullptr, nullptr)));
    return utf8;
}

bool Exists(const std::string& utf8)
{
    return GetFileAttributesW(Wide(utf8).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Runs "cmd /c vbltool ARGS" with stdout and stderr to files, as typed.
DWORD RunInCmd(const std::string& args, std::string* pOut, std::string* pErr)
{
    std::wstring line = L"cmd.exe /s /c \"\"" + VbltoolExe() + L"\" " + Wide(args) + L" >out.txt 2>err.txt\"";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 9999;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD dwExit = 9998;
    GetExitCodeProcess(pi.hProcess, &dwExit);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    *pOut = Contents(L"out.txt");
    *pErr = Contents(L"err.txt");
    return dwExit;
}

void MakeFile(const std::string& utf8, const Bytes& bytes)
{
    const HANDLE h = CreateFileW(Wide(utf8).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << utf8;
    DWORD cb = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &cb, nullptr);
    CloseHandle(h);
}

struct Row {
    const char* pszArgs;  // after "vbltool", in UTF-8
    DWORD dwExit;
    const char* pszOut;     // in stdout, in the ANSI code page (1252 here)
    const char* pszErr;     // in stderr, likewise
    const char* pszMade;    // a file or folder the row makes, or ""
    const char* pszNot;     // one that must not be there after it, or ""
    bool bIn32;             // also run by the emulated 32-bit build
    const char* pszBefore;  // a picture made before the row runs, or null
};

// cmd leaves * and ? to the program; cmd's own commands also match a long
// name by its short one (notes.datx as NOTES~1.DAT), vbltool does not.
const Row kRows[] = {
    {"pack levels\\castle.dat level.pcx castle.map", 0, "", "", "levels\\castle.dat", "", true, nullptr},
    {"pack \"levels\\Ch\xC3\xA2teau fort.dat\" level.pcx \"Ch\xC3\xA2tea.map\"", 0, "", "",
     "levels\\Ch\xC3\xA2teau fort.dat", "", true, nullptr},
    {"check levels\\*.dat", 0, "", "", "", "", true, nullptr},
    {"check levels\\c?stle.dat levels\\*.da?", 0, "", "", "", "", false, nullptr},
    {"check levels\\*.dat levels\\none*.dat", 1, "", "vbltool: levels\\none*.dat: no file matches this pattern", "", "",
     false, nullptr},
    {"list \"levels\\Ch\xC3\xA2teau fort.dat\"", 0, "     1  Ch\xE2tea.map  ", "", "", "", false, nullptr},
    {"unpack \"levels\\Ch\xC3\xA2teau fort.dat\" fort", 0, "", "", "fort\\Ch\xC3\xA2tea.map", "", false, nullptr},
    {"pcx2bmp *.pcx shots", 0, "", "", "shots\\level.bmp", "", false, nullptr},
    {"pcx2bmp *.pcx shots", 0, "", "", "shots\\\xC3\x89lan.bmp", "", false, nullptr},
    {"pcx2bmp level.pcx \xC3\x89lan.pcx nodir\\", 1, "", "vbltool: nodir\\: the folder does not exist", "", "", false,
     nullptr},
    {"unpack levels\\castle.dat keep", 0, "", "", "keep\\castle.map", "", false, nullptr},
    {"unpack levels\\castle.dat keep", 1, "", "vbltool: keep\\level.pcx: already exists", "", "", false, nullptr},
    {"pcx2bmp Absent-\xC3\xA9.pcx out.bmp", 1, "", "vbltool: Absent-\xE9.pcx: cannot open the file", "", "", false,
     nullptr},
    // Never written as a best-fit look-alike (Lodz), nor read as L?dz.
    {"pcx2bmp level.pcx \xC5\x81\xC3\xB3\x64\xC5\xBA.bmp", 1, "",
     "vbltool: ?\xF3\x64?.bmp: the name holds characters that this Windows's code page (1252) cannot hold", "",
     "L\xC3\xB3\x64z.bmp", false, nullptr},
    {"unpack levels\\castle.dat Zamek-\xC5\x81\xC3\xB3\x64\xC5\xBA", 1, "", "cannot hold", "", "Zamek-L\xC3\xB3\x64z",
     false, nullptr},
    {"pack \xC5\x81\xC3\xB3\x64\xC5\xBA.dat level.pcx", 1, "", "cannot hold", "", "L\xC3\xB3\x64z.dat", false, nullptr},
    {"pcx2bmp \xC5\x81\xC3\xB3\x64\xC5\xBA.pcx x.bmp", 1, "", "cannot hold", "", "x.bmp", false,
     "\xC5\x81\xC3\xB3\x64\xC5\xBA.pcx"},
    {"pcx2bmp *.pcx shots", 1, "", "vbltool: ?\xF3\x64?.pcx: the name holds characters", "", "", false, nullptr},
    {"pack up.dat up\\LEVEL.PCX castle.map", 0, "", "vbltool: up\\LEVEL.PCX: warning: the launcher shows no picture",
     "up.dat", "", false, nullptr},
    {"/?", 0, "usage: vbltool COMMAND", "", "", "", false, nullptr},
    {"-h", 0, "  --help, -h, /?", "", "", "", false, nullptr},
};

TEST(VbltoolCmdTest, CommandLinesAsTypedInCmd)
{
    GameFolder folder(true);
    const Bytes palette = RampPalette768();
    const Bytes pcx = PcxFile(PcxShape(8, 1, 2, 2, 2), Bytes(4, 7), &palette);
    MakeFile("level.pcx", pcx);
    MakeFile("\xC3\x89lan.pcx", pcx);
    MakeFile("castle.map", Bytes(3, 'm'));
    MakeFile("Ch\xC3\xA2tea.map", Bytes(3, 'c'));
    MakeFile("levels\\notes.datx", Bytes(2, 'x'));
    CreateDirectoryW(L"shots", nullptr);
    CreateDirectoryW(L"up", nullptr);
    MakeFile("up\\LEVEL.PCX", pcx);
    for (const Row& row : kRows) {
        if (sizeof(void*) == 4 && !row.bIn32) continue;  // emulated: a few rows only
        if (row.pszBefore) MakeFile(row.pszBefore, pcx);
        std::string strOut, strErr;
        EXPECT_EQ(RunInCmd(row.pszArgs, &strOut, &strErr), row.dwExit) << row.pszArgs << "\n" << strErr;
        EXPECT_NE(strOut.find(row.pszOut), std::string::npos) << row.pszArgs << "\n" << strOut;
        EXPECT_NE(strErr.find(row.pszErr), std::string::npos) << row.pszArgs << "\n" << strErr;
        if (*row.pszMade) {
            EXPECT_TRUE(Exists(row.pszMade)) << row.pszArgs;
        }
        if (*row.pszNot) {
            EXPECT_FALSE(Exists(row.pszNot)) << row.pszArgs;
        }
        if (row.dwExit == 0 && !*row.pszErr) {
            EXPECT_EQ(strErr, "") << row.pszArgs;
        }
    }
}

// The help fits an 80-column console, which wraps a line of 80.
TEST(VbltoolCmdTest, HelpFitsAnEightyColumnConsole)
{
    GameFolder folder(false);
    std::string strOut, strErr;
    ASSERT_EQ(RunInCmd("--help", &strOut, &strErr), 0u);
    std::istringstream lines(strOut);
    std::string line;
    int nLines = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        EXPECT_LE(line.size(), 79u) << line;
        ++nLines;
    }
    EXPECT_GT(nLines, 30);
}

// What a console shows from column 0 of its first rows, trailing blanks kept.
std::wstring ScreenText(int nRows)
{
    const HANDLE hOut = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(hOut, &info);
    std::wstring text(static_cast<size_t>(info.dwSize.X) * nRows, L' ');
    DWORD cch = 0;
    ReadConsoleOutputCharacterW(hOut, &text[0], static_cast<DWORD>(text.size()), COORD{0, 0}, &cch);
    CloseHandle(hOut);
    return text;
}

PROCESS_INFORMATION Start(std::wstring line, DWORD dwFlags, const STARTUPINFOW& si)
{
    PROCESS_INFORMATION pi = {};
    EXPECT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, (si.dwFlags & STARTF_USESTDHANDLES) != 0, dwFlags,
                               nullptr, nullptr, const_cast<STARTUPINFOW*>(&si), &pi));
    return pi;
}

DWORD EndOf(const PROCESS_INFORMATION& pi, DWORD dwMilliseconds)
{
    DWORD dwExit = 9998;
    if (WaitForSingleObject(pi.hProcess, dwMilliseconds) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 9997);
    GetExitCodeProcess(pi.hProcess, &dwExit);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return dwExit;
}

// A console shows the OEM code page (850 on a French Windows), not the ANSI
// one of vbltool's names: there they go as characters, so that Absent-é.pcx
// is not shown as Absent-Ú.pcx.
TEST(VbltoolCmdTest, NamesInAConsoleAreShownAsTyped)
{
    GameFolder folder(false);
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    ASSERT_TRUE(SetConsoleOutputCP(850));
    ASSERT_EQ(GetConsoleOutputCP(), 850u);

    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    const HANDLE hOut = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                                    OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = hOut;
    si.hStdError = hOut;
    const DWORD dwExit = EndOf(Start(L"\"" + VbltoolExe() + L"\" pcx2bmp Absent-\u00E9.pcx out.bmp", 0, si), 60000);
    const std::wstring text = ScreenText(3);
    CloseHandle(hOut);
    FreeConsole();
    EXPECT_EQ(dwExit, 1u);
    EXPECT_NE(text.find(L"vbltool: Absent-\u00E9.pcx: cannot open the file"), std::wstring::npos) << Narrow(text);
}

}  // namespace
