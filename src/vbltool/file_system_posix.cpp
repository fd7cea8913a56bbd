#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "file_system.h"

OutputTarget InspectOutput(const char* pszPath)
{
    OutputTarget target = {OutputKind::kAbsent, pszPath, false, 0};
    struct stat st;
    if (stat(pszPath, &st) != 0) {
        // A dangling link is replaced by the file, as a plain file would be.
        if (lstat(pszPath, &st) == 0) target.eKind = OutputKind::kPlainFile;
        return target;
    }
    if (S_ISDIR(st.st_mode)) {
        target.eKind = OutputKind::kFolder;
    } else if (!S_ISREG(st.st_mode)) {
        target.eKind = OutputKind::kWriteThrough;
    } else {
        // A link to a plain file (/dev/stdout into a file, say): that file is
        // replaced, in its own folder, and the link stays.
        struct stat stLink;
        char szReal[PATH_MAX];
        if (lstat(pszPath, &stLink) == 0 && S_ISLNK(stLink.st_mode) && realpath(pszPath, szReal)) {
            target.strPath = szReal;
        }
        target.eKind = access(target.strPath.c_str(), W_OK) == 0 ? OutputKind::kPlainFile : OutputKind::kReadOnly;
        target.bHasMode = true;
        target.uMode = st.st_mode & 0777;
    }
    return target;
}

const char* ReplaceRefusal(const char* pszPath)
{
    struct stat st;
    if (lstat(pszPath, &st) != 0 || S_ISLNK(st.st_mode)) return nullptr;
    if (S_ISDIR(st.st_mode)) return "already exists as a folder";
    if (!S_ISREG(st.st_mode)) return "already exists and is not a plain file, which --force does not replace";
    if (access(pszPath, W_OK) != 0) return "is read-only, which --force does not replace";
    return nullptr;
}

bool FlushToDisk(int fd)
{
    return fsync(fd) == 0;
}

bool KeepMode(int fd, const OutputTarget& target)
{
    return !target.bHasMode || fchmod(fd, target.uMode) == 0;
}

bool MoveFailedForNow()
{
    return errno == EBUSY;
}

void WaitBeforeRetry()
{
    const timespec wait = {0, 50 * 1000 * 1000};
    nanosleep(&wait, nullptr);
}
