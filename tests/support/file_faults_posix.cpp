// Faults of the disk and the folder on demand for vbltool_faults, the build of vbltool
// its tests run (calls wrapped at link time, see CMakeLists.txt). VBLTOOL_FAULT is one
// or more of these, separated by commas:
//   disk:BYTES  write() fails with ENOSPC past BYTES bytes in all: a full disk
//   move:N      the Nth MoveFileExA fails, as for a file another program holds
//   appear:N    a file appears at the Nth MoveFileExA's target just before it, as
//               Windows' short name of an entry just renamed into place would
//   busy:N      the first N MoveFileExA calls fail as while another program holds
//               the file for a moment (EBUSY, the stand-in's sharing violation)
//   nfs:1       renameat2 with flags fails with EINVAL, as on NFS and 9p
//   nfs:2       the same, and a file appears at its target just then: after the
//               tool's own look at the target, before the fall-back's link()
#include <stdio.h>   // renameat2
#include <unistd.h>  // ssize_t

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "vbl_platform.h"

extern "C" ssize_t __real_write(int fd, const void* pBuffer, size_t cb);
extern "C" BOOL WINAPI __real_MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags);
extern "C" int __real_renameat2(int fdFrom, const char* pszFrom, int fdTo, const char* pszTo, unsigned uFlags);

namespace {

unsigned long g_ulWritten = 0;  // bytes, to files (not stdout or stderr)
unsigned long g_ulMoves = 0;
unsigned long g_ulBusyMoves = 0;  // failed by busy:N

// Whether VBLTOOL_FAULT holds pszKind:NUMBER; the number in *pulAt.
bool Fault(const char* pszKind, unsigned long* pulAt)
{
    const size_t cchKind = strlen(pszKind);
    for (const char* pszSpec = getenv("VBLTOOL_FAULT"); pszSpec; pszSpec = strchr(pszSpec, ',')) {
        if (*pszSpec == ',') ++pszSpec;
        if (strncmp(pszSpec, pszKind, cchKind) == 0 && pszSpec[cchKind] == ':') {
            *pulAt = strtoul(pszSpec + cchKind + 1, nullptr, 10);
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" ssize_t __wrap_write(int fd, const void* pBuffer, size_t cb)
{
    unsigned long ulDisk = 0;
    if (fd > 2 && Fault("disk", &ulDisk)) {
        if (g_ulWritten >= ulDisk) {
            errno = ENOSPC;
            return -1;
        }
        if (cb > ulDisk - g_ulWritten) cb = ulDisk - g_ulWritten;  // what still fits goes first
    }
    const ssize_t cbDone = __real_write(fd, pBuffer, cb);
    if (fd > 2 && cbDone > 0) g_ulWritten += static_cast<unsigned long>(cbDone);
    return cbDone;
}

extern "C" BOOL WINAPI __wrap_MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags)
{
    unsigned long ulAt = 0;
    if (Fault("busy", &ulAt) && g_ulBusyMoves < ulAt) {
        ++g_ulBusyMoves;
        errno = EBUSY;
        return FALSE;
    }
    ++g_ulMoves;
    if (Fault("move", &ulAt) && ulAt == g_ulMoves) {
        errno = EACCES;
        return FALSE;
    }
    FILE* pFile = Fault("appear", &ulAt) && ulAt == g_ulMoves ? fopen(lpNewFileName, "wx") : nullptr;
    if (pFile) {
        fputs("appeared", pFile);
        fclose(pFile);
    }
    return __real_MoveFileExA(lpExistingFileName, lpNewFileName, dwFlags);
}

extern "C" int __wrap_renameat2(int fdFrom, const char* pszFrom, int fdTo, const char* pszTo, unsigned uFlags)
{
    unsigned long ulOn = 0;
    if (uFlags != 0 && Fault("nfs", &ulOn) && ulOn != 0) {
        FILE* pFile = ulOn == 2 ? fopen(pszTo, "wx") : nullptr;
        if (pFile) {
            fputs("appeared", pFile);
            fclose(pFile);
        }
        errno = EINVAL;
        return -1;
    }
    return __real_renameat2(fdFrom, pszFrom, fdTo, pszTo, uFlags);
}
