#include "entry_names.h"

#include <cstdio>

#include "vbl_platform.h"

namespace {

// 0x80 to 0x9F, where Windows-1252 differs from Latin-1; 0: undefined.
const unsigned short kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

std::string ByteEscape(unsigned char b)
{
    char sz[8];
    snprintf(sz, sizeof(sz), "\\x%02X", b);
    return sz;
}

#ifdef _WIN32

// The system's encoding is the ANSI code page: characters go through UTF-16.
bool DecodeLocal(const std::string& str, std::wstring* pChars)
{
    pChars->clear();
    if (str.empty()) return true;
    const int n =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, str.data(), static_cast<int>(str.size()), nullptr, 0);
    if (n <= 0) return false;
    pChars->resize(static_cast<size_t>(n));
    return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, str.data(), static_cast<int>(str.size()), &(*pChars)[0],
                               n) == n;
}

bool EncodeLocal(const std::wstring& chars, std::string* pstr)
{
    return AnsiFromWide(chars, pstr);
}

using Chars = std::wstring;
const char kLocalEncoding[] = "this Windows's code page";

#else

// The system's encoding is UTF-8: strict, no overlong form, no surrogate.
bool DecodeLocal(const std::string& str, std::u32string* pChars)
{
    pChars->clear();
    for (size_t i = 0; i < str.size();) {
        const unsigned char b = static_cast<unsigned char>(str[i]);
        const int nMore = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        if (nMore < 0 || str.size() - i <= static_cast<size_t>(nMore)) return false;
        char32_t c = nMore == 0 ? b : b & (0x3F >> nMore);
        for (int k = 1; k <= nMore; ++k) {
            const unsigned char t = static_cast<unsigned char>(str[i + static_cast<size_t>(k)]);
            if ((t & 0xC0) != 0x80) return false;
            c = (c << 6) | (t & 0x3F);
        }
        static const char32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
        if (c < kLeast[nMore] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        pChars->push_back(c);
        i += static_cast<size_t>(nMore) + 1;
    }
    return true;
}

bool EncodeLocal(const std::u32string& chars, std::string* pstr)
{
    pstr->clear();
    for (const char32_t c : chars) {
        if (c < 0x80) {
            *pstr += static_cast<char>(c);
        } else if (c < 0x800) {
            *pstr += static_cast<char>(0xC0 | (c >> 6));
            *pstr += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *pstr += static_cast<char>(0xE0 | (c >> 12));
            *pstr += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *pstr += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *pstr += static_cast<char>(0xF0 | (c >> 18));
            *pstr += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *pstr += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *pstr += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return true;
}

using Chars = std::u32string;
const char kLocalEncoding[] = "UTF-8";

#endif

}  // namespace

unsigned Cp1252Char(unsigned char b)
{
    return b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : b;
}

int Cp1252Byte(unsigned uChar)
{
    if (uChar < 0x80 || (uChar >= 0xA0 && uChar <= 0xFF)) return static_cast<int>(uChar);
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] != 0 && kHighControls[i] == uChar) return 0x80 + i;
    }
    return -1;
}

bool EntryNameFromLocal(const std::string& strLocal, std::string* pstrEntry, std::string* pstrWhy)
{
    Chars chars;
    if (!DecodeLocal(strLocal, &chars)) {
        *pstrWhy = std::string("its name is not valid ") + kLocalEncoding;
        return false;
    }
    pstrEntry->clear();
    for (const auto c : chars) {
        const int b = Cp1252Byte(static_cast<unsigned>(c));
        if (b < 0) {
            std::string strChar;
            EncodeLocal(Chars(1, c), &strChar);
            *pstrWhy = "its name holds '" + strChar + "', which the game's code page (Windows-1252) cannot hold";
            return false;
        }
        *pstrEntry += static_cast<char>(b);
    }
    return true;
}

bool LocalNameFromEntry(const std::string& strEntry, std::string* pstrLocal, std::string* pstrWhy)
{
    Chars chars;
    for (const char cByte : strEntry) {
        const unsigned char b = static_cast<unsigned char>(cByte);
        const unsigned c = Cp1252Char(b);
        if (c == 0) {
            *pstrWhy = "its name holds the byte " + ByteEscape(b) + ", which is no character of Windows-1252";
            return false;
        }
        chars += static_cast<Chars::value_type>(c);
    }
    if (!EncodeLocal(chars, pstrLocal)) {
        *pstrWhy = std::string("its name holds a character that ") + kLocalEncoding + " cannot hold";
        return false;
    }
    return true;
}

std::string ReadableEntryName(const char* pszEntry, int* pnColumns)
{
    std::string strOut;
    int nColumns = 0;
    for (const char* p = pszEntry; *p; ++p) {
        const unsigned char b = static_cast<unsigned char>(*p);
        const unsigned c = Cp1252Char(b);
        std::string strChar;
        if (c >= 0x20 && c != 0x7F && EncodeLocal(Chars(1, static_cast<Chars::value_type>(c)), &strChar)) {
            strOut += strChar;
            nColumns += 1;
        } else {
            strOut += ByteEscape(b);
            nColumns += 4;
        }
    }
    if (pnColumns) *pnColumns = nColumns;
    return strOut;
}

#ifdef _WIN32
bool AnsiFromWide(const std::wstring& wide, std::string* pAnsi)
{
    pAnsi->clear();
    if (wide.empty()) return true;
    const bool bUtf8 = GetACP() == CP_UTF8;  // takes neither flag nor default character
    const DWORD dwFlags = bUtf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int cch = static_cast<int>(wide.size());
    const int cb = WideCharToMultiByte(CP_ACP, dwFlags, wide.data(), cch, nullptr, 0, nullptr, nullptr);
    if (cb <= 0) return false;
    pAnsi->resize(static_cast<size_t>(cb));
    BOOL bDefaulted = FALSE;
    return WideCharToMultiByte(CP_ACP, dwFlags, wide.data(), cch, &(*pAnsi)[0], cb, nullptr,
                               bUtf8 ? nullptr : &bDefaulted) == cb &&
           !bDefaulted;
}
#endif
