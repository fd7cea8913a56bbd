// Whether the entries of a level archive can be taken out as files, one per
// entry under its stored name inside one folder, on Linux as on Windows,
// without any of them landing outside the folder, on a device or on another.
// Shared by vbltool's unpack, check and pack, and by the archive fuzz target.
#pragma once

#include "preview/level_archive.h"

// Room for an entry's file name: the stored name up to its NUL, all 12
// characters of the field when it holds none, plus the terminating NUL.
constexpr int kEntryFileNameChars = kLevelNameField + 1;

// Copies the stored name of pEntry into szName, NUL-terminated.
void LevelEntryFileName(const LevelEntry* pEntry, char szName[kEntryFileNameChars]);

// Why pszName cannot be a file name inside a folder (a short English phrase
// that lives as long as the program), or null when it can.
const char* LevelEntryNameFault(const char* pszName);

// True when two names would be one file on Windows: equal apart from the
// letter case of Windows-1252.
bool LevelEntryNamesClash(const char* pszA, const char* pszB);

// Told about one faulty entry: its index, its stored name and why. Both
// strings last only for the call.
typedef void (*LevelEntryFaultProc)(void* pContext, LONG lIndex, const char* pszName, const char* pszReason);

// Checks every record that pDir holds, in directory order: the record stored
// whole, its data inside the file, its name sound and unlike every earlier
// entry's apart from letter case. Calls pfnFault once for each faulty entry
// with the first fault found, and returns how many entries are faulty.
LONG CheckLevelEntries(const LevelDirectory* pDir, LevelEntryFaultProc pfnFault, void* pContext);
