// Renames, patient with a file that another program holds for a moment.
#pragma once

#include "vbl_platform.h"

// Called between two tries of a rename; pContext as given.
using MoveWait = void (*)(void* pContext);

// MoveFileExA, tried again while it fails only because another program (an
// antivirus, the search indexer) holds the file for a moment
// (MoveFailedForNow): up to kMoveTries tries, pfnWait between two of them
// (WaitBeforeRetry when null, about a second in all).
constexpr int kMoveTries = 20;
bool MoveFileRetrying(const char* pszFrom, const char* pszTo, DWORD dwFlags, MoveWait pfnWait = nullptr,
                      void* pContext = nullptr);

// remove(), tried again as MoveFileRetrying tries a rename: a scratch file
// that another program has just opened (an antivirus scanning it) is removed
// once that program lets it go.
bool RemoveFileRetrying(const char* pszPath, MoveWait pfnWait = nullptr, void* pContext = nullptr);
