// Entry names and file names: an archive holds its entry names in the game's
// code page, Windows-1252, on every system; the file calls take names in the
// system's own encoding (UTF-8 on Linux, the ANSI code page on Windows). The
// one place that converts between the two, so that an archive made on Linux
// is byte for byte the one made on Windows.
#pragma once

#include <string>

// The Unicode character of a Windows-1252 byte, or 0 for the five bytes
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) that the code page leaves undefined.
unsigned Cp1252Char(unsigned char b);

// The Windows-1252 byte of a Unicode character, or -1 when it has none.
int Cp1252Byte(unsigned uChar);

// An entry name from a file's base name as the system gives it. False, with
// *pstrWhy ("its name holds 'Ł', which ..."), when Windows-1252 cannot hold
// one of its characters or the name is not valid in the system's encoding.
bool EntryNameFromLocal(const std::string& strLocal, std::string* pstrEntry, std::string* pstrWhy);

// The file name that the system's calls take for an entry name. False, with
// *pstrWhy, for a byte that Windows-1252 leaves undefined, or a character
// that the system's code page cannot hold (Windows).
bool LocalNameFromEntry(const std::string& strEntry, std::string* pstrLocal, std::string* pstrWhy);

// An entry name for a message or a listing, in the system's encoding: control
// bytes, undefined ones and characters the system cannot show as \xNN.
// *pnColumns (when not null): the characters it takes on a line.
std::string ReadableEntryName(const char* pszEntry, int* pnColumns = nullptr);

#ifdef _WIN32
// The ANSI form of a wide string. False when the code page cannot hold one of
// its characters: never a best-fit look-alike (Łódź made Lodz), which would
// name another file.
bool AnsiFromWide(const std::wstring& wide, std::string* pAnsi);
#endif
