#include "tool_output.h"

#include <vector>
#ifdef _WIN32
#include <io.h>
#endif

#include "vbl_platform.h"

namespace {

#ifdef _WIN32
HANDLE ConsoleOf(FILE* pStream)
{
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(pStream)));
    DWORD dwMode = 0;
    return h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &dwMode) ? h : nullptr;
}

void WriteWide(HANDLE hConsole, const wchar_t* pch, size_t cch)
{
    while (cch > 0) {
        const DWORD cchNow = static_cast<DWORD>(cch < 4096 ? cch : 4096);
        DWORD cchDone = 0;
        if (!WriteConsoleW(hConsole, pch, cchNow, &cchDone, nullptr) || cchDone == 0) return;
        pch += cchDone;
        cch -= cchDone;
    }
}
#endif

}  // namespace

bool IsConsole(FILE* pStream)
{
#ifdef _WIN32
    return ConsoleOf(pStream) != nullptr;
#else
    (void)pStream;
    return false;
#endif
}

void VPrintTo(FILE* pStream, const char* pszFormat, va_list args)
{
#ifdef _WIN32
    const HANDLE hConsole = ConsoleOf(pStream);
    if (hConsole) {
        va_list copy;
        va_copy(copy, args);
        const int cb = vsnprintf(nullptr, 0, pszFormat, copy);
        va_end(copy);
        if (cb <= 0) return;
        std::vector<char> text(static_cast<size_t>(cb) + 1);
        vsnprintf(text.data(), text.size(), pszFormat, args);
        const int cch = MultiByteToWideChar(CP_ACP, 0, text.data(), cb, nullptr, 0);
        if (cch <= 0) return;
        std::vector<wchar_t> wide(static_cast<size_t>(cch));
        MultiByteToWideChar(CP_ACP, 0, text.data(), cb, wide.data(), cch);
        fflush(pStream);  // what went through the stream before stays before
        WriteWide(hConsole, wide.data(), wide.size());
        return;
    }
#endif
    vfprintf(pStream, pszFormat, args);
}

void PrintTo(FILE* pStream, const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    VPrintTo(pStream, pszFormat, args);
    va_end(args);
}

#ifdef _WIN32
void PrintWideTo(FILE* pStream, const wchar_t* pszText)
{
    const HANDLE hConsole = ConsoleOf(pStream);
    if (hConsole) {
        fflush(pStream);
        WriteWide(hConsole, pszText, wcslen(pszText));
        return;
    }
    // '?' for a character the code page lacks, never a look-alike.
    const DWORD dwFlags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int cb = WideCharToMultiByte(CP_ACP, dwFlags, pszText, -1, nullptr, 0, nullptr, nullptr);
    if (cb <= 0) return;
    std::vector<char> text(static_cast<size_t>(cb));
    WideCharToMultiByte(CP_ACP, dwFlags, pszText, -1, text.data(), cb, nullptr, nullptr);
    fputs(text.data(), pStream);
}
#endif
