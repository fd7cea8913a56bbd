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
//   nolink:1    link() fails with EPERM, as on a file system without hard links
//               (VirtualBox shared folders, some FUSE ones)
//   swap:1      an existing output opened to be written through (no O_CREAT) is
//               first replaced by a link to the file "swapped" beside it, as
//               another program could between vbltool's check and its open
//   private:1   a write() to a plain file that its group or others may read
//               fails with EACCES: private data never sits in such a file
//   alloc:BYTES an allocation of BYTES or more throws std::bad_alloc (not in
//               the sanitizers' builds)
//   leaks:1     at exit, a descriptor still open that was not open at the
//               start is named on stderr and the exit status becomes 3
#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <sys/stat.h>
#include <unistd.h>  // ssize_t

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "vbl_platform.h"

extern "C" ssize_t __real_write(int fd, const void* pBuffer, size_t cb);
extern "C" BOOL WINAPI __real_MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags);
extern "C" int __real_renameat2(int fdFrom, const char* pszFrom, int fdTo, const char* pszTo, unsigned uFlags);
extern "C" int __real_link(const char* pszFrom, const char* pszTo);
extern "C" int __real_open(const char* pszPath, int nFlags, ...);

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

constexpr int kWatchedDescriptors = 1024;
bool g_abOpenAtStart[kWatchedDescriptors];

bool IsOpen(int fd)
{
    return fcntl(fd, F_GETFD) != -1;
}

__attribute__((constructor)) void NoteOpenDescriptors()
{
    for (int fd = 0; fd < kWatchedDescriptors; ++fd) g_abOpenAtStart[fd] = IsOpen(fd);
}

__attribute__((destructor)) void ReportLeakedDescriptors()
{
    unsigned long ulOn = 0;
    if (!Fault("leaks", &ulOn) || ulOn == 0) return;
    bool bLeaked = false;
    for (int fd = 3; fd < kWatchedDescriptors; ++fd) {
        if (g_abOpenAtStart[fd] || !IsOpen(fd)) continue;
        fprintf(stderr, "vbltool_faults: descriptor %d left open\n", fd);
        bLeaked = true;
    }
    if (!bLeaked) return;
    fflush(nullptr);
    _exit(3);
}

}  // namespace

// The sanitizers have their own operator new, which they must pair with their
// operator delete: alloc:BYTES is a fault of the plain builds only.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VBL_SANITIZED_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VBL_SANITIZED_ALLOCATOR 1
#endif
#ifndef VBL_SANITIZED_ALLOCATOR
void* operator new(size_t cb)
{
    static unsigned long s_ulLimit = 0;
    static const bool s_bLimited = Fault("alloc", &s_ulLimit);
    if (s_bLimited && cb >= s_ulLimit) throw std::bad_alloc();
    if (void* p = malloc(cb ? cb : 1)) return p;
    throw std::bad_alloc();
}
#endif

extern "C" ssize_t __wrap_write(int fd, const void* pBuffer, size_t cb)
{
    unsigned long ulDisk = 0;
    struct stat st;
    if (fd > 2 && Fault("private", &ulDisk) && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077)) {
        errno = EACCES;
        return -1;
    }
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

extern "C" int __wrap_link(const char* pszFrom, const char* pszTo)
{
    unsigned long ulOn = 0;
    if (Fault("nolink", &ulOn) && ulOn != 0) {
        errno = EPERM;
        return -1;
    }
    return __real_link(pszFrom, pszTo);
}

extern "C" int __wrap_open(const char* pszPath, int nFlags, ...)
{
    mode_t mode = 0;
    if (nFlags & O_CREAT) {
        va_list args;
        va_start(args, nFlags);
        mode = static_cast<mode_t>(va_arg(args, unsigned));
        va_end(args);
    }
    unsigned long ulOn = 0;
    if ((nFlags & O_ACCMODE) != O_RDONLY && !(nFlags & O_CREAT) && Fault("swap", &ulOn) && ulOn != 0) {
        // A relative link: "swapped" in the output's own folder.
        if (unlink(pszPath) == 0 && symlink("swapped", pszPath) != 0) perror("vbltool_faults: swap");
    }
    return __real_open(pszPath, nFlags, mode);
}
