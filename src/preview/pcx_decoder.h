// The PCX decoder: one PCX entry of an open file into a packed DIB (a movable,
// zero-filled global block holding a BITMAPINFOHEADER, the colour table and
// the rows bottom-up, each padded to 4 bytes).
#pragma once

#include <cstdint>

#include "preview/picture_refusal.h"
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

// Refills pReader's buffer with the next chunk of the file; false at the end
// of the file or on a read error.
bool PcxRefill(PcxReader* pReader);

inline bool PcxTakeByte(PcxReader* pReader, BYTE* pb)
{
    if (pReader->uPos == pReader->uFill && !PcxRefill(pReader)) return false;
    *pb = pReader->abBuffer[pReader->uPos++];
    return true;
}

// Reads one run-length item: *pbValue the byte, *pnCount how many times it
// stands (1, or 0 to 63 for a run). Returns 0, or -1 when the data ends.
// Inline: it runs once per item of every picture.
inline int PcxNextByte(BYTE* pbValue, int* pnCount, PcxReader* pReader)
{
    if (pReader->uFill - pReader->uPos >= 2) {
        // Both bytes an item can take are buffered: decode without branching on
        // the data, which is as random as the picture.
        const BYTE* p = pReader->abBuffer + pReader->uPos;
        UINT uRun = p[0] >= 0xC0;
        *pnCount = static_cast<int>(uRun * (p[0] & 0x3Fu) + (1 - uRun));
        *pbValue = p[uRun];
        pReader->uPos += 1 + uRun;
        return 0;
    }
    BYTE b;
    *pnCount = 1;
    if (!PcxTakeByte(pReader, &b)) return -1;
    if ((b & 0xC0) == 0xC0) {
        *pnCount = b & 0x3F;
        if (!PcxTakeByte(pReader, &b)) return -1;
    }
    *pbValue = b;
    return 0;
}

// The part of a picture that a caller keeps: its top-left corner of at most
// lWidth x lHeight pixels (a size below 1 counts as 1).
struct PcxClip {
    LONG lWidth;
    LONG lHeight;
};

// Decodes the PCX entry at lOffset (lSize bytes long; the size only locates the
// 256-colour trailer) of hFile. Always closes hFile. Returns the packed DIB,
// unlocked and owned by the caller, or null.
HGLOBAL ReadPcxFile(HFILE hFile, LONG lOffset, LONG lSize);

// The whole picture's DIB as the header plans it: its size and bit count.
// All 0 when the header was refused before its bit count was known (short,
// not a PCX, an empty window, too many pixels or bytes, no bits).
struct PcxPlannedDib {
    LONG lWidth;
    LONG lHeight;
    WORD wBitCount;
};

// The same, telling in *pRefusal (when not null) why it returned null;
// kPictureMade on success. With a clip, the DIB holds only the picture's
// corner that the clip keeps; the rest of the image data is still read and
// checked, so the picture is refused exactly when the whole one would be,
// but it is only counted, never stored. *pPlanned (when not null) receives
// the whole picture's plan, so that a bit count no bitmap has
// (kRefuseBitCount, refused before any block is allocated) can be named.
HGLOBAL ReadPcxFileWithReason(HFILE hFile, LONG lOffset, LONG lSize, PictureRefusal* pRefusal,
                              const PcxClip* pClip = nullptr, PcxPlannedDib* pPlanned = nullptr);

extern const BYTE LowMasks[4];
extern const BYTE HighMasks[4];
extern const BYTE DefaultPalette[48];
