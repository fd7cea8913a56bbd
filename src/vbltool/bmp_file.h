// Packed DIBs as the launcher's decoder makes them: written as .bmp files,
// and inspected as the launcher's bitmap step would.
#pragma once

#include <cstdint>

#include "preview/pcx_decoder.h"
#include "vbl_platform.h"

// Writes a packed DIB as a .bmp file: BITMAPFILEHEADER, then the block's
// header, colour table and rows exactly as they are (WritePiecesWhole).
// Does not free hDib.
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

// The same for a picture that the decoder refused for its bit count before
// making any block (kRefuseBitCount): its plan, and the bitmap step's reason.
DecodedPicture InspectPlanned(const PcxPlannedDib& planned);

// The formats' numbers: little-endian, whatever the machine.
void PutLe16(unsigned char* p, unsigned v);
void PutLe32(unsigned char* p, uint32_t v);
