// The three program-wide values; each is defined beside its only writer.
#pragma once
#include <windows.h>

extern int g_nNumberLevels;  // levels added to the list; catalogue/level_list.cpp
extern HBITMAP g_hBitmap;    // current preview bitmap or null; preview/preview_load.cpp
extern int g_bViewerActive;  // 1 while the preview area is shown; main/main_dialog.cpp
