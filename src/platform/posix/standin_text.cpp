// The string calls and the error box of the file-format core (the archive
// lookup builds its path and reports an archive it cannot open) and of
// vbltool. The box has no screen here: its text goes to stderr.
#include <cstdio>
#include <cstring>

#include "vbl_platform.h"

int lstrcmpA(LPCSTR lpString1, LPCSTR lpString2)
{
    if (!lpString1 || !lpString2) return (lpString1 ? 1 : 0) - (lpString2 ? 1 : 0);
    int n = strcmp(lpString1, lpString2);
    return n < 0 ? -1 : n > 0 ? 1 : 0;
}

LPSTR lstrcpyA(LPSTR lpString1, LPCSTR lpString2)
{
    if (!lpString1 || !lpString2) return nullptr;
    return strcpy(lpString1, lpString2);
}

LPSTR lstrcatA(LPSTR lpString1, LPCSTR lpString2)
{
    if (!lpString1 || !lpString2) return nullptr;
    return strcat(lpString1, lpString2);
}

LPSTR lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength)
{
    if (!lpString1 || !lpString2 || iMaxLength <= 0) return lpString1;
    // Reads at most iMaxLength - 1 characters of the source, never its rest.
    int i = 0;
    for (; i < iMaxLength - 1 && lpString2[i]; ++i) lpString1[i] = lpString2[i];
    lpString1[i] = '\0';
    return lpString1;
}

int lstrlenA(LPCSTR lpString)
{
    return lpString ? static_cast<int>(strlen(lpString)) : 0;
}

int MessageBoxA(HWND, LPCSTR lpText, LPCSTR lpCaption, UINT)
{
    fprintf(stderr, "[%s] %s\n", lpCaption ? lpCaption : "", lpText ? lpText : "");
    return IDOK;
}
