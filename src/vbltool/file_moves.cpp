#include "file_moves.h"

#include <cstdio>

#include "file_system.h"

namespace {

void WaitForHolder(void* /*pContext*/)
{
    WaitBeforeRetry();
}

}  // namespace

bool MoveFileRetrying(const char* pszFrom, const char* pszTo, DWORD dwFlags, MoveWait pfnWait, void* pContext)
{
    if (!pfnWait) pfnWait = WaitForHolder;
    for (int nTry = 1;; ++nTry) {
        if (MoveFileExA(pszFrom, pszTo, dwFlags)) return true;
        if (nTry == kMoveTries || !MoveFailedForNow()) return false;
        pfnWait(pContext);
    }
}

bool RemoveFileRetrying(const char* pszPath, MoveWait pfnWait, void* pContext)
{
    if (!pfnWait) pfnWait = WaitForHolder;
    for (int nTry = 1;; ++nTry) {
        if (remove(pszPath) == 0) return true;
        if (nTry == kMoveTries || !MoveFailedForNow()) return false;
        pfnWait(pContext);
    }
}
