// Faults of the disk and of the folder on demand, for a build of vbltool made
// for its tests (vbltool_faults). The calls are wrapped at link time (--wrap,
// see CMakeLists.txt); the tests run the program, so the environment names
// the fault:
//   VBLTOOL_FAULT=disk:BYTES  write() fails with ENOSPC past BYTES bytes in all
//   VBLTOOL_FAULT=appear:N    a file is made at the Nth MoveFileExA's target
//                             just before it, as Windows' short name of a file
//                             just renamed into place would be there
//   VBLTOOL_FAULT=move:N      the Nth MoveFileExA fails, as for a file that
//                             another program holds open
#include <sys/types.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "vbl_platform.h"

extern "C" {
ssize_t __real_write(int fd, const void* pBuffer, size_t cb);
BOOL WINAPI __real_MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags);
}

namespace {

struct Fault {
    char szKind[8];
    unsigned long ulAt;
};

const Fault& TheFault()
{
    static const Fault fault = [] {
        Fault f = {"", 0};
        const char* pszSpec = getenv("VBLTOOL_FAULT");
        if (pszSpec && sscanf(pszSpec, "%7[a-z]:%lu", f.szKind, &f.ulAt) != 2) {
            fprintf(stderr, "VBLTOOL_FAULT: not KIND:NUMBER: %s\n", pszSpec);
            abort();
        }
        return f;
    }();
    return fault;
}

bool Is(const char* pszKind)
{
    return strcmp(TheFault().szKind, pszKind) == 0;
}

unsigned long g_ulWritten = 0;
unsigned long g_ulMoves = 0;

}  // namespace

extern "C" {

ssize_t __wrap_write(int fd, const void* pBuffer, size_t cb)
{
    if (Is("disk") && fd > 2) {
        const unsigned long ulRoom = TheFault().ulAt - g_ulWritten;
        if (ulRoom == 0) {
            errno = ENOSPC;
            return -1;
        }
        if (cb > ulRoom) cb = ulRoom;  // a full disk takes what fits first
    }
    const ssize_t cbDone = __real_write(fd, pBuffer, cb);
    if (cbDone > 0 && fd > 2) g_ulWritten += static_cast<unsigned long>(cbDone);
    return cbDone;
}

BOOL WINAPI __wrap_MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags)
{
    const bool bNow = ++g_ulMoves == TheFault().ulAt;
    if (bNow && Is("move")) {
        errno = EACCES;
        return FALSE;
    }
    if (bNow && Is("appear")) {
        if (FILE* pFile = fopen(lpNewFileName, "wx")) {
            fputs("appeared", pFile);
            fclose(pFile);
        }
    }
    return __real_MoveFileExA(lpExistingFileName, lpNewFileName, dwFlags);
}

}  // extern "C"
