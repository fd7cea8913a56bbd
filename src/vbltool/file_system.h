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
};

struct OutputTarget {
    OutputKind eKind;
    // The path to make, replace or write. On Windows its full form, so that a
    // drive-relative C:out.bmp is placed on C: whatever the current drive. On
    // Linux, for a link to a plain file, the file it names.
    std::string strPath;
    bool bHasMode;  // uMode holds the replaced file's permission bits (Linux)
    unsigned uMode;
};
OutputTarget InspectOutput(const char* pszPath);

// For unpack --force, which replaces a link itself and never writes through
// one: why what is at pszPath may not be replaced ("is read-only; ..."), or null.
const char* ReplaceRefusal(const char* pszPath);

// The file's data on the disk itself (fsync, FlushFileBuffers), before it is
// renamed into place: a power cut never leaves a renamed, empty file.
bool FlushToDisk(int fd);

// Gives the fresh file fd the replaced file's permission bits (Linux).
bool KeepMode(int fd, const OutputTarget& target);

// Whether the MoveFileExA that just failed failed only because another
// program holds the file for a moment: a sharing or lock violation, or access
// denied, on Windows; EBUSY on Linux.
bool MoveFailedForNow();

// About a twentieth of a second, between two tries of a rename.
void WaitBeforeRetry();
