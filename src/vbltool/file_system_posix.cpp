#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <string>

#include "file_system.h"
#include "tool_paths.h"

namespace {

// Bit n: descriptor n (0, 1, 2) was closed when vbltool started.
unsigned g_uClosedAtStart = 0;

// The standard descriptor (0, 1, 2) that strPath names as /dev/stdout or
// /proc/self/fd/1 do, or -1.
int StandardDescriptorNamed(const std::string& strPath)
{
    static const char* const apszStreams[] = {"/dev/stdin", "/dev/stdout", "/dev/stderr"};
    for (int fd = 0; fd < 3; ++fd) {
        if (strPath == apszStreams[fd]) return fd;
    }
    const std::string astrFolders[] = {"/dev/fd/", "/proc/self/fd/", "/proc/thread-self/fd/",
                                       "/proc/" + std::to_string(getpid()) + "/fd/"};
    for (const std::string& strFolder : astrFolders) {
        if (strPath.size() != strFolder.size() + 1 || strPath.compare(0, strFolder.size(), strFolder) != 0) continue;
        const char cLast = strPath.back();
        if (cLast >= '0' && cLast <= '2') return cLast - '0';
    }
    return -1;
}

// Follows the links from pszPath hop by hop, as the kernel would: *pEnd is
// where the last one leads (nothing may be there). A reason instead when a
// hop names a standard stream that was closed at the start (what it names
// now is the null device vbltool put there, or nothing), or the links loop.
const char* FollowLinks(const char* pszPath, std::string* pEnd)
{
    static const char* const apszClosed[] = {"names standard input, which is closed",
                                             "names standard output, which is closed",
                                             "names standard error, which is closed"};
    std::string strPath = pszPath;
    for (int nHop = 0; nHop < 40; ++nHop) {
        const int fd = StandardDescriptorNamed(strPath);
        if (fd >= 0 && (g_uClosedAtStart & (1u << fd))) return apszClosed[fd];
        struct stat st;
        char szTarget[PATH_MAX];
        if (lstat(strPath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        const ssize_t cch = readlink(strPath.c_str(), szTarget, sizeof(szTarget) - 1);
        if (cch <= 0) break;
        szTarget[cch] = '\0';
        const std::string strFolder = FolderOf(strPath.c_str());
        strPath = szTarget[0] == '/' || strFolder == "." ? std::string(szTarget) : JoinPath(strFolder, szTarget);
        if (nHop == 39) return "is a link that leads back to itself";
    }
    *pEnd = strPath;
    return nullptr;
}

OutputTarget Refused(OutputTarget target, const char* pszRefusal)
{
    target.eKind = OutputKind::kRefused;
    target.pszRefusal = pszRefusal;
    return target;
}

}  // namespace

OutputTarget InspectOutput(const char* pszPath)
{
    OutputTarget target;
    target.strPath = pszPath;
    struct stat st;
    if (lstat(pszPath, &st) != 0) {
        return errno == ENAMETOOLONG ? Refused(target, "the path is too long") : target;
    }
    const bool bLink = S_ISLNK(st.st_mode);
    if (bLink) {
        std::string strEnd;
        const char* pszRefusal = FollowLinks(pszPath, &strEnd);
        if (pszRefusal) return Refused(target, pszRefusal);
        if (stat(pszPath, &st) != 0) {
            // A link to nothing: the file it names is made, where it names
            // it, and the link stays.
            if (errno == ELOOP) return Refused(target, "is a link that leads back to itself");
            target.strPath = strEnd;
            return target;
        }
    }
    if (S_ISDIR(st.st_mode)) {
        target.eKind = OutputKind::kFolder;
    } else if (!S_ISREG(st.st_mode)) {
        target.eKind = OutputKind::kWriteThrough;
        target.ullDevice = st.st_dev;
        target.ullInode = st.st_ino;
        target.uType = st.st_mode & S_IFMT;
    } else {
        // A link to a plain file (/dev/stdout into a file, say): that file is
        // replaced, in its own folder, and the link stays.
        char szReal[PATH_MAX];
        if (bLink && realpath(pszPath, szReal)) target.strPath = szReal;
        target.eKind = access(target.strPath.c_str(), W_OK) == 0 ? OutputKind::kPlainFile : OutputKind::kReadOnly;
        target.bHasMode = true;
        target.uMode = st.st_mode & 0777;
        target.uOwner = st.st_uid;
        target.uGroup = st.st_gid;
    }
    return target;
}

bool IsInspectedFile(int fd, const OutputTarget& target)
{
    struct stat st;
    return fstat(fd, &st) == 0 && (st.st_mode & S_IFMT) == target.uType && st.st_dev == target.ullDevice &&
           st.st_ino == target.ullInode;
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

bool SetFinalMode(int fd, const std::string& /*strScratch*/, const OutputTarget& target)
{
    unsigned uMode = target.uMode;
    if (!target.bHasMode) {
        const mode_t umaskNow = umask(0);
        umask(umaskNow);
        uMode = 0666 & ~umaskNow;
    } else {
        // As GNU sed -i does: the owner and group where vbltool may set them
        // (root: both; others: a group of theirs), else the group alone.
        struct stat st;
        if (fstat(fd, &st) != 0) return false;
        if ((st.st_uid != target.uOwner || st.st_gid != target.uGroup) &&
            fchown(fd, target.uOwner, target.uGroup) != 0 && fchown(fd, static_cast<uid_t>(-1), target.uGroup) != 0) {
            // Another group than the replaced file's: its members may not read it.
            uMode &= ~070u;
        }
    }
    return fchmod(fd, uMode) == 0;
}

bool MoveFailedForNow()
{
    return errno == EBUSY;
}

bool HeldByAnotherProgram(const char* /*pszPath*/)
{
    return errno == EBUSY;  // what the call that just failed said
}

void WaitBeforeRetry()
{
    const timespec wait = {0, 50 * 1000 * 1000};
    nanosleep(&wait, nullptr);
}

bool KeepStandardDescriptorsOpen()
{
    for (int fd = 0; fd < 3; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        g_uClosedAtStart |= 1u << fd;
        // Every lower descriptor is open: the null device takes number fd.
        const int fdNull = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (fdNull != fd) {
            if (fdNull >= 0) close(fdNull);
            return false;
        }
    }
    return true;
}
