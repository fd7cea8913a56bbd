// A stand-in for vorbel.exe, used by the launcher's tests and in the demo
// folder. It is not the game and contains nothing of it: it only records how
// it was started, so that one can see what the launcher hands the game.
//
// Every start appends one line to vorbel-standin.log beside this executable:
//   <parameters> TAB <current directory> TAB <raw command line> CR LF
// where <parameters> is the raw command line after the program's own name,
// byte for byte (separating blanks included). Unless the environment variable
// VBL_STANDIN_QUIET is set (the tests set it), the same is shown in a message
// box as well.
#include <windows.h>

#include <string>

namespace {

const char kLogName[] = "vorbel-standin.log";

// The raw command line after the program name: a quoted first token ends at
// its closing quote, an unquoted one at the first blank or tab.
std::string ParametersOf(const char* pszCommandLine)
{
    const char* p = pszCommandLine;
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
    }
    return p;
}

std::string CurrentDirectory()
{
    char szDir[MAX_PATH * 2] = {};
    const DWORD n = GetCurrentDirectoryA(sizeof szDir, szDir);
    return n < sizeof szDir ? std::string(szDir, n) : std::string();
}

std::string LogPath()
{
    char szPath[MAX_PATH * 2] = {};
    const DWORD n = GetModuleFileNameA(nullptr, szPath, sizeof szPath);
    std::string path(szPath, n < sizeof szPath ? n : 0);
    const size_t slash = path.find_last_of("\\/");
    path.resize(slash == std::string::npos ? 0 : slash + 1);
    return path + kLogName;
}

// Appends the line under an exclusive open, retried for a few seconds, so
// that games started together never mix their lines.
bool AppendLine(const std::string& path, const std::string& line)
{
    HANDLE hFile = INVALID_HANDLE_VALUE;
    for (int nTry = 0; nTry < 200 && hFile == INVALID_HANDLE_VALUE; ++nTry) {
        hFile = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hFile == INVALID_HANDLE_VALUE) Sleep(25);
    }
    if (hFile == INVALID_HANDLE_VALUE) return false;
    DWORD nWritten = 0;
    const bool bDone = SetFilePointer(hFile, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER &&
                       WriteFile(hFile, line.data(), static_cast<DWORD>(line.size()), &nWritten, nullptr) &&
                       nWritten == line.size();
    CloseHandle(hFile);
    return bDone;
}

bool IsQuiet()
{
    char szValue[8];
    return GetEnvironmentVariableA("VBL_STANDIN_QUIET", szValue, sizeof szValue) > 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE /*hInstance*/, HINSTANCE /*hPrevInstance*/, LPSTR /*lpCmdLine*/, int /*nShowCmd*/)
{
    // GetCommandLineA, not lpCmdLine: the runtime strips leading blanks from
    // the latter, and those blanks are part of what was passed.
    const char* pszCommandLine = GetCommandLineA();
    const std::string params = ParametersOf(pszCommandLine);
    const std::string dir = CurrentDirectory();
    const bool bLogged = AppendLine(LogPath(), params + "\t" + dir + "\t" + pszCommandLine + "\r\n");
    if (!IsQuiet()) {
        const std::string text =
            "This is a stand-in for vorbel.exe, not the game.\n\n"
            "Command line received:\n" +
            std::string(pszCommandLine) + "\n\nAfter the program's name (between the brackets):\n[" + params +
            "]\n\nCurrent directory:\n" + dir + (bLogged ? "\n\nAlso appended to " : "\n\nCould not append to ") +
            kLogName;
        MessageBoxA(nullptr, text.c_str(), "vorbel.exe stand-in", MB_OK | MB_ICONINFORMATION);
    }
    return bLogged ? 0 : 1;
}
