// Netpbm's binary pictures: PGM (P5) and PPM (P6), 1 to 16 bits a sample,
// read by vbltool itself (stb_image 2.27 keeps 16-bit samples in the wrong
// byte order and ignores the maximum value). The bytes are untrusted: the
// header's sizes are checked against the file and the pixel limit before
// anything is allocated.
#pragma once

#include <cstdint>
#include <vector>

#include "picture_image.h"

// True when data starts like a binary PGM or PPM: "P5" or "P6", then a blank
// or a comment.
bool IsBinaryPnm(const std::vector<unsigned char>& data);

// The header of an IsBinaryPnm file, its first picture's.
struct PnmHeader {
    int64_t llWidth;  // 1 to 999,999,999
    int64_t llHeight;
    uint32_t dwMax;     // the samples' maximum value, 1 to 65535: 2 bytes a sample above 255
    size_t uChannels;   // 1 for PGM, 3 for PPM
    size_t uSamplesAt;  // where the samples start in the file
};

// Reads the header into *pHeader. Null when it is sound and the file holds
// all of the picture's samples, else a one-line reason.
const char* ReadPnmHeader(const std::vector<unsigned char>& data, PnmHeader* pHeader);

// The picture of a header that ReadPnmHeader passed, each sample scaled to 8
// bits, v x 255 / maxval rounded to the nearest (for 16 bits, as a 16-bit PNG
// is). Null when done, else a one-line reason.
const char* ReadPnmPixels(const std::vector<unsigned char>& data, const PnmHeader& header, RgbImage* pImage);
