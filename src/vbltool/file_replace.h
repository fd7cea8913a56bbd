// How vbltool writes an output file (pack, picture, pcx2bmp, preview): the
// one place that decides whether and how what is at the name is replaced.
//
// Its promises, for WritePiecesWhole(pszPath, ...):
// - Names are exact: only pszPath itself is made or replaced, never a file
//   whose name differs from it in letter case only (Linux).
// - Nothing at pszPath: a fresh file is made there, by a rename that never
//   replaces a file appearing meanwhile, also where the file system has no
//   such rename (NFS, 9p: a second name is made, then the scratch one
//   dropped). Where it has neither (VirtualBox shared folders), a plain rename
//   once the name is found still free.
// - A plain file at pszPath: replaced whole. The data goes to a scratch file
//   beside it (scratch_files.h), readable by its owner only, is given the
//   final file's mode, flushed to the disk, then renamed over it: after a
//   crash or a power cut the name holds the old file or the new one, never a
//   part of one, and a private file's data is never readable by others. On
//   Linux the new file keeps the old one's permission bits, and as root its
//   owner and group; on Windows its hidden and system attributes.
// - A link (Linux) is never replaced by a file: for a link to a plain file the
//   file it names is replaced, in its own folder; for a link to nothing, that
//   file is made where the link names it, as cp does.
// - A FIFO, a device, a terminal (/dev/stdout, /dev/null, NUL): opened and
//   written straight through, when what was opened is what was inspected (no
//   link swapped in meanwhile); it stays what it is.
// - Refused with a one-line reason, and left untouched: a folder; a plain
//   file the user may not write (Linux) or that is read-only (Windows); a
//   standard stream that was closed when vbltool started (/dev/stdout with
//   standard output closed); a link that loops; a folder that does not exist;
//   a path too long; on Windows a name ending with a dot or a blank.
// - On any failure (a full disk, a file held by another program) what was at
//   pszPath is as it was, and no scratch file stays behind; should another
//   program keep even the scratch file, the reason names it.
// - Windows: a drive-relative pszPath (C:out.bmp) is made a full path first,
//   so that the scratch file is on the output's drive; a rename or removal
//   refused while another program holds the file for a moment is tried again
//   (file_moves.h).
#pragma once

#include <cstddef>
#include <vector>

// Bytes to write, one piece of a file.
struct WritePiece {
    const void* pData;
    size_t cb;
};

// Writes the pieces, in order, as the file pszPath, as promised above.
// *ppszReason on failure, valid until the next call.
bool WritePiecesWhole(const char* pszPath, const WritePiece* pPieces, int nPieces, const char** ppszReason);

inline bool WriteWholeFile(const char* pszPath, const std::vector<unsigned char>& data, const char** ppszReason)
{
    const WritePiece piece = {data.data(), data.size()};
    return WritePiecesWhole(pszPath, &piece, 1, ppszReason);
}
