// picture: makes a level picture from whatever an author has (a screenshot
// as PNG, most often): at most the size the viewer shows, 256 colours, as an
// 8-bit, 1-plane, version 5 run-length PCX with its 256-colour trailer.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "commands.h"
#include "picture_image.h"
#include "picture_quantize.h"
#include "preview/preview_area.h"
#include "tool_files.h"

namespace {

const char kUsage[] = "usage: vbltool picture IN OUT.pcx [--crop] [--dither]\n";

struct PictureArgs {
    const char* pszIn;
    const char* pszOut;
    bool bCrop;    // keep the top-left part at 1:1 instead of scaling
    bool bDither;  // Floyd-Steinberg error diffusion
};

bool ParsePictureArgs(int argc, char** argv, PictureArgs* pArgs)
{
    *pArgs = {nullptr, nullptr, false, false};
    int nFiles = 0;
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--crop") == 0) {
            pArgs->bCrop = true;
        } else if (strcmp(argv[i], "--dither") == 0) {
            pArgs->bDither = true;
        } else if (strncmp(argv[i], "--", 2) == 0 || nFiles == 2) {
            return false;
        } else {
            (nFiles++ == 0 ? pArgs->pszIn : pArgs->pszOut) = argv[i];
        }
    }
    return nFiles == 2;
}

void AppendRun(std::vector<unsigned char>* pOut, unsigned char bValue, int nCount)
{
    if (nCount > 1 || bValue >= 0xC0) pOut->push_back(static_cast<unsigned char>(0xC0 | nCount));
    pOut->push_back(bValue);
}

// One scan line of nBytes (the width, padded to an even count with 0), in runs
// of at most 63 that never cross into the next line.
void AppendScanLine(std::vector<unsigned char>* pOut, const unsigned char* pRow, int nWidth, int nBytes)
{
    int x = 0;
    while (x < nBytes) {
        const unsigned char bValue = x < nWidth ? pRow[x] : 0;
        int nCount = 1;
        while (x + nCount < nBytes && nCount < 63 && (x + nCount < nWidth ? pRow[x + nCount] : 0) == bValue) ++nCount;
        AppendRun(pOut, bValue, nCount);
        x += nCount;
    }
}

std::vector<unsigned char> EncodePcx(const IndexedImage& image)
{
    const int nBytesPerLine = image.nWidth + (image.nWidth & 1);
    std::vector<unsigned char> out(128, 0);
    out[0] = 10;  // manufacturer
    out[1] = 5;   // version: 256-colour palette after the image data
    out[2] = 1;   // run-length encoded
    out[3] = 8;   // bits per pixel
    PutLe16(&out[8], static_cast<unsigned>(image.nWidth - 1));
    PutLe16(&out[10], static_cast<unsigned>(image.nHeight - 1));
    PutLe16(&out[12], 72);  // dots per inch, as most writers say
    PutLe16(&out[14], 72);
    out[65] = 1;  // planes
    PutLe16(&out[66], static_cast<unsigned>(nBytesPerLine));
    PutLe16(&out[68], 1);  // the palette holds colours, not greys
    for (int y = 0; y < image.nHeight; ++y) {
        AppendScanLine(&out, &image.indices[static_cast<size_t>(y) * image.nWidth], image.nWidth, nBytesPerLine);
    }
    out.push_back(12);
    out.insert(out.end(), image.abPalette, image.abPalette + sizeof(image.abPalette));
    return out;
}

// What the viewer shows best: scaled to fit (or cropped), at most 256 colours.
bool MakeLevelPicture(const PictureArgs& args, std::vector<unsigned char>* pPcx, std::string* pstrReason)
{
    RgbImage source = {0, 0, {}};
    if (!LoadPicture(args.pszIn, &source, pstrReason)) return false;
    RgbImage shown = {0, 0, {}};
    int nWidth = 0, nHeight = 0;
    if (args.bCrop) {
        nWidth = source.nWidth < kPreviewShownWidth ? source.nWidth : kPreviewShownWidth;
        nHeight = source.nHeight < kPreviewShownHeight ? source.nHeight : kPreviewShownHeight;
    } else {
        FitSize(source.nWidth, source.nHeight, kPreviewShownWidth, kPreviewShownHeight, &nWidth, &nHeight);
    }
    if (nWidth == source.nWidth && nHeight == source.nHeight) {
        shown = std::move(source);
    } else if (args.bCrop) {
        CropTopLeft(source, nWidth, nHeight, &shown);
    } else if (!ScaleLinearLight(source, nWidth, nHeight, &shown)) {
        *pstrReason = "cannot scale the picture (not enough memory)";
        return false;
    }
    IndexedImage indexed;
    QuantizePicture(shown, args.bDither, &indexed);
    *pPcx = EncodePcx(indexed);
    return true;
}

}  // namespace

int RunPicture(int argc, char** argv)
{
    PictureArgs args;
    if (!ParsePictureArgs(argc, argv, &args)) {
        PrintTo(stderr, "%s", kUsage);
        return 2;
    }
    std::vector<unsigned char> pcx;
    std::string strReason;
    bool bMade = false;
    try {
        bMade = MakeLevelPicture(args, &pcx, &strReason);
    } catch (const std::bad_alloc&) {
        strReason = "out of memory";
    }
    if (!bMade) {
        PrintTo(stderr, "vbltool: %s: %s\n", args.pszIn, strReason.c_str());
        return 1;
    }
    const char* pszReason = nullptr;
    if (!WriteWholeFile(args.pszOut, pcx, &pszReason)) {
        PrintTo(stderr, "vbltool: %s: %s\n", args.pszOut, pszReason);
        return 1;
    }
    return 0;
}
