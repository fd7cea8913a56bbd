// The level list of the main dialog, filled from .\levels\*.dat.
#pragma once
#include <windows.h>

// Levels added to the list; written only here, read by the Random command.
extern int g_nNumberLevels;

// Adds one level name per archive to list 1000 and writes the count into
// label 2001. Returns g_nNumberLevels when the search completed, 0 after its
// own error box when it failed.
int AddLevelsFiles(HWND hDlg);

// The text of the list's selected entry in a zero-filled fixed block that the
// caller frees with GlobalFree. Null when nothing is selected (*pbNoSelection
// is then true), or when the text cannot be read or finds no memory: the
// caller reports that as its own command's failure.
LPSTR ReadSelectedLevel(HWND hList, bool* pbNoSelection);
