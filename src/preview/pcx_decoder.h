// The PCX decoder: one PCX entry of an open file into a packed DIB (a movable,
// zero-filled global block holding a BITMAPINFOHEADER, the colour table and
// the rows bottom-up, each padded to 4 bytes).
#pragma once

#include <cstdint>

#include "vbl_platform.h"

// Bytes fetched from the file per _lread while the image data is decoded.
constexpr UINT kPcxReadChunk = 32768;

// Limits on what a header may describe; anything larger is refused before
// allocating, since the file comes from strangers.
constexpr int64_t kPcxMaxPixels = int64_t{64} << 20;
constexpr int64_t kPcxMaxImageBytes = int64_t{256} << 20;

// The image data of one entry, read through a buffer. PcxNextByte consumes
// from it exactly the bytes the unbuffered reader would have read one by one.
struct PcxReader {
  HFILE hFile;
  UINT uPos;   // next unread byte of abBuffer
  UINT uFill;  // bytes of abBuffer that hold file data
  BYTE abBuffer[kPcxReadChunk];
};

// Reads one run-length item: *pbValue the byte, *pnCount how many times it
// stands (1, or 0 to 63 for a run). Returns 0, or -1 when the data ends.
int PcxNextByte(BYTE* pbValue, int* pnCount, PcxReader* pReader);

// Decodes the PCX entry at lOffset (lSize bytes long; the size only locates the
// 256-colour trailer) of hFile. Always closes hFile. Returns the packed DIB,
// unlocked and owned by the caller, or null.
HGLOBAL ReadPcxFile(HFILE hFile, LONG lOffset, LONG lSize);

// The same, telling in *ppszReason (when not null) why it returned null: a
// short English phrase for the tools, null on success.
HGLOBAL ReadPcxFileWithReason(HFILE hFile, LONG lOffset, LONG lSize, const char** ppszReason);

extern const BYTE LowMasks[4];
extern const BYTE HighMasks[4];
extern const BYTE DefaultPalette[48];
