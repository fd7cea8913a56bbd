// File helpers shared by vbltool's sub-commands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vbl_platform.h"

// Opens path for reading with the core's file calls and tells its size.
// Returns HFILE_ERROR, after a one-line reason on stderr, when the file
// cannot be opened or is too large for the 32-bit offsets of the formats.
HFILE OpenInput(const char* pszPath, LONG* plSize);

// The same for a sub-command's first argument, once argc is nArgs; else the
// usage line on stderr. *pnStatus: the exit status when HFILE_ERROR comes
// back (2 for bad usage, 1 for a file that cannot be opened).
HFILE OpenCommandInput(int argc, char** argv, int nArgs, const char* pszUsage, LONG* plSize, int* pnStatus);

// A sub-command's arguments less every pszFlag among them, anywhere in the
// line; *pbSeen tells whether there was one.
std::vector<const char*> ArgsWithout(int argc, char** argv, const char* pszFlag, bool* pbSeen);

// Writes a packed DIB as a .bmp file: BITMAPFILEHEADER, then the block's
// header, colour table and rows exactly as they are, whole or not at all
// (WritePiecesWhole). Does not free hDib.
bool WriteBmpFile(HGLOBAL hDib, const char* pszPath, const char** ppszReason);

// What the launcher's bitmap step makes of a decoded packed DIB: its size and
// bit count, and why it would refuse to make a bitmap of it (null when not).
struct DecodedPicture {
    LONG lWidth;
    LONG lHeight;
    WORD wBitCount;
    const char* pszRefusal;
};
DecodedPicture InspectDecoded(HGLOBAL hDib);

// The formats' numbers: little-endian, whatever the machine.
void PutLe16(unsigned char* p, unsigned v);
void PutLe32(unsigned char* p, uint32_t v);

bool ReadWholeFile(const char* pszPath, std::vector<unsigned char>* pData);

// Bytes to write, one piece of a file.
struct WritePiece {
    const void* pData;
    size_t cb;
};

// Writes the pieces, in order, as the file pszPath: to a fresh scratch file
// beside it, then renamed over it. So what was at pszPath is replaced whole
// or, on any failure (a full disk), left as it was, and no scratch file
// stays behind. *ppszReason on failure.
bool WritePiecesWhole(const char* pszPath, const WritePiece* pPieces, int nPieces, const char** ppszReason);

inline bool WriteWholeFile(const char* pszPath, const std::vector<unsigned char>& data, const char** ppszReason)
{
    const WritePiece piece = {data.data(), data.size()};
    return WritePiecesWhole(pszPath, &piece, 1, ppszReason);
}

// Last path component, after the last '/' or '\'.
std::string BaseName(const std::string& strPath);

// strFolder/pszName, with one separator between them.
std::string JoinPath(const std::string& strFolder, const char* pszName);

// An entry name with bytes outside printable ASCII written as \xNN.
std::string PrintableName(const char* pszName);

// True when something, even a dangling symbolic link, is at pszPath.
bool PathExists(const char* pszPath);
bool IsFolder(const char* pszPath);
bool MakeFolder(const char* pszPath);

// Opens pszPath for writing only when nothing is there yet, so that it never
// writes through a link or over a file it did not make. Returns a file
// descriptor for write()/close(), or -1.
int CreateNewFile(const char* pszPath);

bool RemoveFolder(const char* pszPath);  // only an empty one

// Scratch files in a folder are named VBLnnnnn.TMP: twelve characters, so
// never the name of an archive entry (eleven at most), and a valid 8.3 name
// in capitals, so that Windows makes no short name for it that an entry's
// name could hit. Both calls take the first free number from *puNext on and
// leave *puNext past it.
// A fresh scratch file: its descriptor (or -1, errno set) and its path.
int CreateScratchFile(const std::string& strFolder, unsigned* puNext, std::string* pPath);
// Renames pszPath (a file or a link) to a free scratch name; its path in *pPath.
bool MoveToScratch(const char* pszPath, const std::string& strFolder, unsigned* puNext, std::string* pPath);

// True when pszPath reaches what is there only by another of its names, a
// Windows 8.3 short name such as ABCDEF~1 for abcdefghijkl; *pStored: the
// name the folder holds for it.
bool IsShortNamePath(const char* pszPath, std::string* pStored);

// _lread calls made so far by this process, or -1 where not counted.
long ReadCallCount();

// With VBLTOOL_STATS set in the environment: prints the read-call count.
void ReportReadCalls();
