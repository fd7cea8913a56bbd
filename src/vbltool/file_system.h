// What the file system at hand says about an output, and the calls that
// differ between Linux and Windows (file_system_posix.cpp, _windows.cpp).
#pragma once

#include <string>

// What is at an output's path, and so what vbltool does with it (file_replace.h).
enum class OutputKind {
    kAbsent,        // nothing: made fresh
    kPlainFile,     // replaced whole
    kWriteThrough,  // a FIFO, a device, a terminal: written as it is
    kFolder,        // refused
    kReadOnly,      // refused: a file the user may not write (Linux), or read-only (Windows)
    kRefused,       // refused for pszRefusal
};

struct OutputTarget {
    OutputKind eKind = OutputKind::kAbsent;
    // The path to make, replace or write. On Windows its full form, so that a
    // drive-relative C:out.bmp is placed on C: whatever the current drive. On
    // Linux, for a link, the file it names (made there when it does not exist).
    std::string strPath;
    const char* pszRefusal = nullptr;  // kRefused: why, as "vbltool: PATH: " ends
    // What the new file takes over from the one it replaces: on Linux its
    // permission bits (uMode), owner and group; on Windows its attributes.
    bool bHasMode = false;
    unsigned uMode = 0;
    unsigned uOwner = 0;
    unsigned uGroup = 0;
    // kWriteThrough on Linux: what was inspected, so that nothing else is
    // written should another file be put at the path before it is opened.
    unsigned long long ullDevice = 0;
    unsigned long long ullInode = 0;
    unsigned uType = 0;
};
OutputTarget InspectOutput(const char* pszPath);

// Whether fd, just opened at target.strPath to write through it, is the very
// file InspectOutput looked at (Linux: its type, device and inode).
bool IsInspectedFile(int fd, const OutputTarget& target);

// For unpack --force, which replaces a link itself and never writes through
// one: why what is at pszPath may not be replaced ("is read-only; ..."), or null.
const char* ReplaceRefusal(const char* pszPath);

// The file's data on the disk itself (fsync, FlushFileBuffers), before it is
// renamed into place: a power cut never leaves a renamed, empty file.
bool FlushToDisk(int fd);

// Gives the scratch file fd (at strScratch), whole and about to be renamed
// into place, what the final file is to have: on Linux the replaced file's
// owner and group where vbltool may set them (as root) and its permission
// bits, or a fresh file's (0666 less the umask) when nothing is replaced,
// the group's bits cleared when its group cannot be kept; on Windows the
// replaced file's hidden and system attributes. Until then a scratch file is
// its owner's alone (CreateScratchFile).
bool SetFinalMode(int fd, const std::string& strScratch, const OutputTarget& target);

// Whether the MoveFileExA that just failed failed only because another
// program holds the file for a moment: a sharing or lock violation, or access
// denied, on Windows; EBUSY on Linux. The same for a remove() just failed.
bool MoveFailedForNow();

// Whether a file call on pszPath that just failed (a rename, a remove, an
// open) failed because another program has the file open and will not share
// it: on Windows, asked of the file itself (an access denied may be either
// that or permissions); on Linux, the call's EBUSY.
bool HeldByAnotherProgram(const char* pszPath);

// About a twentieth of a second, between two tries of a rename.
void WaitBeforeRetry();

// At start: puts the null device on any of the descriptors 0, 1 and 2 that
// is closed, so that no file vbltool opens takes one of their numbers (and a
// message written to stderr, say, never lands in an output). The ones that
// were closed are remembered: an output naming one (/dev/stdout) is refused.
// False when the null device cannot be opened.
bool KeepStandardDescriptorsOpen();
