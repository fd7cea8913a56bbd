// How vbltool writes an output file (pack, picture, pcx2bmp, preview): the
// one place that decides whether and how what is at the name is replaced.
//
// Its promises, for WritePiecesWhole(pszPath, ...):
// - Names are exact: only pszPath itself is made or replaced, never a file
//   whose name differs from it in letter case only (Linux).
// - Nothing at pszPath: a fresh file is made there, by a rename that never
//   replaces a file appearing meanwhile, also where the file system has no
//   such rename (NFS, 9p: a second name is made, then the scratch one dropped).
// - A plain file at pszPath: replaced whole. The data goes to a scratch file
//   beside it (scratch_files.h), is flushed to the disk, then renamed over it:
//   after a crash or a power cut the name holds the old file or the new one,
//   never a part of one. On Linux the new file keeps the old one's permission
//   bits, and a link to a plain file is followed: the file it names is
//   replaced, in its own folder, and the link stays.
// - A FIFO, a device, a terminal (/dev/stdout, /dev/null, NUL): opened and
//   written straight through; it stays what it is.
// - Refused with a one-line reason, and left untouched: a folder; a plain
//   file the user may not write (Linux) or that is read-only (Windows).
// - On any failure (a full disk, a file held by another program) what was at
//   pszPath is as it was, and no scratch file stays behind.
// - Windows: a drive-relative pszPath (C:out.bmp) is made a full path first,
//   so that the scratch file is on the output's drive; a rename refused while
//   another program holds the file for a moment is tried again (file_moves.h).
#pragma once

#include <cstddef>
#include <vector>

// Bytes to write, one piece of a file.
struct WritePiece {
    const void* pData;
    size_t cb;
};

// Writes the pieces, in order, as the file pszPath, as promised above.
// *ppszReason on failure.
bool WritePiecesWhole(const char* pszPath, const WritePiece* pPieces, int nPieces, const char** ppszReason);

inline bool WriteWholeFile(const char* pszPath, const std::vector<unsigned char>& data, const char** ppszReason)
{
    const WritePiece piece = {data.data(), data.size()};
    return WritePiecesWhole(pszPath, &piece, 1, ppszReason);
}
