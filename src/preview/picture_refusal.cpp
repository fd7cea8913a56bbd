#include "preview/picture_refusal.h"

#include "preview/dib_header.h"

namespace {

// Indexed by PictureRefusal.
const char* const RefusalTexts[kPictureRefusalCount] = {
    "",
    "entry offset lies outside the file",
    "header shorter than 128 bytes",
    "not a PCX image (manufacturer byte is not 10)",
    "image window is empty (width or height below 1)",
    "image larger than 64 megapixels",
    "no bits per pixel (zero planes or zero bits)",
    "image data larger than 256 MiB",
    "out of memory",
    "image data ends before the last scan line",
    "a run reaches past the last scan line",
    "no entry named level.pcx",
    "empty directory",
    nullptr,  // kRefuseBitCount: the bitmap step's own words (DibRefusalText)
};

}  // namespace

const char* PictureRefusalText(PictureRefusal eRefusal)
{
    if (eRefusal < 0 || eRefusal >= kPictureRefusalCount) return "unknown reason";
    if (eRefusal == kRefuseBitCount) return DibRefusalText(kDibBitCount);
    return RefusalTexts[eRefusal];
}
