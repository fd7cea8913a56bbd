// Reducing a true-colour picture to the 256 colours of an 8-bit PCX. Integer
// arithmetic only, so that every build makes the same palette and pixels.
#pragma once

#include <vector>

#include "picture_image.h"

// One palette index per pixel, rows top-down, and 256 palette entries (red,
// green, blue); entries no pixel uses are black.
struct IndexedImage {
    int nWidth;
    int nHeight;
    std::vector<unsigned char> indices;
    unsigned char abPalette[768];
};

// A picture of at most 256 colours keeps exactly its colours. Otherwise the
// palette comes from median cut (each box split where the two halves' squared
// error is least), refined by a few k-means passes, and each pixel takes its
// nearest entry; with bDither, Floyd-Steinberg error diffusion instead.
void QuantizePicture(const RgbImage& image, bool bDither, IndexedImage* pOut);
