// True-colour pictures in memory for `vbltool picture`, `pcx2bmp` and
// `preview`: loading any picture an author has, scaling it in linear light,
// and writing PNG.
#pragma once

#include <string>
#include <vector>

#include "vbl_platform.h"

// Rows top-down, 3 bytes per pixel (red, green, blue), no padding.
struct RgbImage {
    int nWidth;
    int nHeight;
    std::vector<unsigned char> rgb;
};

// The pixels of a packed DIB that the launcher's bitmap step accepts
// (InspectDecoded gives no refusal): 1, 4, 8, 16, 24 or 32 bits per pixel.
bool DibToRgb(HGLOBAL hDib, RgbImage* pImage);

// Reads pszPath (picture_load.cpp): PNG, BMP, JPEG, TGA or GIF through
// stb_image (a transparent picture laid over black, 16-bit channels rounded
// to 8 bits, palette BMPs made plain first by bmp_rle.h), binary PGM and PPM
// through pnm_read.h, PCX through the launcher's own decoder. A BMP header
// that vbltool does not read is named field by field (picture_format.h). A
// picture of more pixels than the launcher takes is refused before it is
// decoded. False with a one-line reason in *pstrReason.
bool LoadPicture(const char* pszPath, RgbImage* pImage, std::string* pstrReason);

// The largest size of nWidth x nHeight's aspect ratio within nMaxWidth x
// nMaxHeight, rounded to whole pixels; the size itself when it fits.
void FitSize(int nWidth, int nHeight, int nMaxWidth, int nMaxHeight, int* pnWidth, int* pnHeight);

// in scaled down to nWidth x nHeight, filtered in linear light.
bool ScaleLinearLight(const RgbImage& in, int nWidth, int nHeight, RgbImage* pOut);

// The top-left nWidth x nHeight pixels of in (which holds at least as many).
void CropTopLeft(const RgbImage& in, int nWidth, int nHeight, RgbImage* pOut);

// Writes the packed DIB's pixels as a PNG file, whole or not at all.
bool WritePngFile(HGLOBAL hDib, const char* pszPath, const char** ppszReason);

// True when pszPath ends in ".png", in any letter case.
bool HasPngExtension(const char* pszPath);
