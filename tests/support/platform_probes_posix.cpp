// Counting wrappers around the stand-in's calls (linked with --wrap=NAME,
// see CMakeLists.txt): each counts, then calls the stand-in's own.
#include <string>

#include "platform_probes.h"
#include "vbl_platform.h"

extern "C" {
HFILE __real_OpenFile(LPCSTR lpFileName, LPOFSTRUCT lpReOpenBuff, UINT uStyle);
HFILE __real__lopen(LPCSTR lpPathName, int iReadWrite);
HFILE __real__lclose(HFILE hFile);
HGLOBAL __real_GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
HGLOBAL __real_GlobalFree(HGLOBAL hMem);
LPVOID __real_GlobalLock(HGLOBAL hMem);
int __real_MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);
}

namespace {

long g_lOpenFiles = 0;
long g_lLiveBlocks = 0;
unsigned long g_ulMessageBoxes = 0;
std::string g_strLastMessage;
int g_nFailAllocIn = 0;
unsigned long g_ulAllocations = 0;
unsigned long long g_ullLargestAsk = 0;
int g_nFailLockIn = 0;

HFILE CountOpen(HFILE hFile)
{
    if (hFile != HFILE_ERROR) ++g_lOpenFiles;
    return hFile;
}

}  // namespace

extern "C" {

HFILE __wrap_OpenFile(LPCSTR lpFileName, LPOFSTRUCT lpReOpenBuff, UINT uStyle)
{
    return CountOpen(__real_OpenFile(lpFileName, lpReOpenBuff, uStyle));
}

HFILE __wrap__lopen(LPCSTR lpPathName, int iReadWrite)
{
    return CountOpen(__real__lopen(lpPathName, iReadWrite));
}

HFILE __wrap__lclose(HFILE hFile)
{
    HFILE hResult = __real__lclose(hFile);
    if (hResult == 0) --g_lOpenFiles;
    return hResult;
}

HGLOBAL __wrap_GlobalAlloc(UINT uFlags, SIZE_T dwBytes)
{
    ++g_ulAllocations;
    if (dwBytes > g_ullLargestAsk) g_ullLargestAsk = dwBytes;
    if (g_nFailAllocIn > 0 && --g_nFailAllocIn == 0) return nullptr;
    HGLOBAL hMem = __real_GlobalAlloc(uFlags, dwBytes);
    if (hMem) ++g_lLiveBlocks;
    return hMem;
}

HGLOBAL __wrap_GlobalFree(HGLOBAL hMem)
{
    HGLOBAL hResult = __real_GlobalFree(hMem);
    if (hMem && !hResult) --g_lLiveBlocks;
    return hResult;
}

LPVOID __wrap_GlobalLock(HGLOBAL hMem)
{
    if (g_nFailLockIn > 0 && --g_nFailLockIn == 0) return nullptr;
    return __real_GlobalLock(hMem);
}

int __wrap_MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    ++g_ulMessageBoxes;
    g_strLastMessage = lpText ? lpText : "";
    return __real_MessageBoxA(hWnd, lpText, lpCaption, uType);
}

}  // extern "C"

long ProbeOpenFiles()
{
    return g_lOpenFiles;
}
long ProbeLiveBlocks()
{
    return g_lLiveBlocks;
}
unsigned long ProbeAllocations()
{
    return g_ulAllocations;
}
unsigned long long ProbeLargestAsk()
{
    return g_ullLargestAsk;
}
unsigned long ProbeMessageBoxes()
{
    return g_ulMessageBoxes;
}
const char* ProbeLastMessageText()
{
    return g_strLastMessage.c_str();
}
void ProbeFailAllocation(int nthNext)
{
    g_nFailAllocIn = nthNext > 0 ? nthNext : 0;
}
void ProbeFailLock(int nthNext)
{
    g_nFailLockIn = nthNext > 0 ? nthNext : 0;
}
