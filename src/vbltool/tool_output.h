// What vbltool prints: its messages, reports and listings. Text is in the
// system's encoding (the ANSI code page on Windows), as the names it shows
// are. A Windows console shows another code page (the OEM one: 850, 437...),
// so there the text goes to the console as characters (WriteConsoleW); to a
// file or a pipe it goes as the bytes it is, on every system.
#pragma once

#include <cstdarg>
#include <cstdio>

void PrintTo(FILE* pStream, const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));
void VPrintTo(FILE* pStream, const char* pszFormat, va_list args) __attribute__((format(printf, 2, 0)));

// Text as Windows's wide calls give it (a name the code page cannot hold):
// as characters to a console, else in the code page with '?' for what it
// lacks. Windows only.
#ifdef _WIN32
void PrintWideTo(FILE* pStream, const wchar_t* pszText);
#endif

// True when pStream is a Windows console (never on Linux).
bool IsConsole(FILE* pStream);
