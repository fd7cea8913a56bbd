// libFuzzer target: ReadPcxFile over arbitrary bytes as a bare PCX file, then
// the DIB checks that stand between a decoded picture and CreateDIBitmap, and
// the viewer's decode of the top-left corner against the whole. The input lives in a memory file reopened by name for
// each run, so the decoder gets a handle of its own to close. Pictures of more
// than 4 megapixels that the decoder takes are skipped (PcxHeaderPixels), so
// that only a block no picture needs passes the target's malloc limit.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "dib_corner.h"
#include "fuzz_check.h"
#include "preview/dib_header.h"
#include "preview/pcx_decoder.h"

namespace {

const std::string& InputPath()
{
    static const std::string strPath = "/proc/self/fd/" + std::to_string(memfd_create("pcx-input", 0));
    return strPath;
}

// The decoder's block holds exactly the header, biClrUsed colours and the
// rows (FuzzCheckDib) at a bit count GDI knows: the checks must find the
// pixels right after the table, so inside the block, pass it, and never pass
// it one byte short.
void CheckDibChecks(HGLOBAL hDib)
{
    if (!hDib) return;
    const SIZE_T cbBlock = GlobalSize(hDib);
    const BITMAPINFO* pbi = static_cast<const BITMAPINFO*>(GlobalLock(hDib));
    if (!pbi || cbBlock < sizeof(BITMAPINFOHEADER)) FuzzFail("packed DIB unreadable");
    const WORD w = pbi->bmiHeader.biBitCount;
    const DWORD dwColours = pbi->bmiHeader.biClrUsed;
    // The decoder refuses other bit counts before it allocates.
    if (w != 1 && w != 4 && w != 8 && w != 16 && w != 24 && w != 32) FuzzFail("a block of a bit count no bitmap has");
    if (DIBitmapRefusal(pbi, cbBlock) != kDibFits || !DIBitmapFitsBlock(pbi, cbBlock) ||
        DIBitmapFitsBlock(pbi, cbBlock - 1) || DIBitmapColors(pbi) != static_cast<int>(dwColours) ||
        DIBitmapBits(pbi) != reinterpret_cast<const BYTE*>(pbi) + 40 + 4 * dwColours) {
        FuzzFail("the DIB checks misjudge the decoded block");
    }
    GlobalUnlock(hDib);
}

// A fresh handle on the staged input, for a decoder that closes it.
HFILE OpenInput()
{
    HFILE hFile = _lopen(InputPath().c_str(), OF_READ);
    if (hFile == HFILE_ERROR) FuzzFail("cannot open the staged input");
    return hFile;
}

// The corner the viewer keeps, of a size picked by the input's length, must
// be refused exactly when the whole is, and show the whole's pixels.
void CheckCorner(HGLOBAL hWhole, PictureRefusal eWhole, LONG lSize)
{
    static const PcxClip aClips[] = {{407, 263}, {1, 1}, {13, 70}, {64, 2}};
    const PcxClip& clip = aClips[static_cast<size_t>(lSize) % 4];
    PictureRefusal eCorner = kPictureMade;
    HGLOBAL hCorner = ReadPcxFileWithReason(OpenInput(), 0, lSize, &eCorner, &clip);
    if (eCorner != eWhole) FuzzFail("the corner is refused otherwise than the whole");
    if (!hCorner) return;
    const auto* pW = static_cast<const BITMAPINFO*>(GlobalLock(hWhole));
    const auto* pC = static_cast<const BITMAPINFO*>(GlobalLock(hCorner));
    const char* pszWhat = CornerMismatch({&pW->bmiHeader, pW->bmiColors, DIBitmapBits(pW)},
                                         {&pC->bmiHeader, pC->bmiColors, DIBitmapBits(pC)}, clip.lWidth, clip.lHeight);
    if (pszWhat) FuzzFail(pszWhat);
    GlobalUnlock(hWhole);
    GlobalUnlock(hCorner);
    FuzzCheckDib(hCorner);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
    const long long llPixels = PcxHeaderPixels(pData, cbData);
    if (cbData > INT32_MAX || (llPixels > kFuzzMostPixels && llPixels <= kPcxMaxPixels)) return 0;
    FILE* pOut = fopen(InputPath().c_str(), "wb");  // truncates the memory file
    if (!pOut || fwrite(pData, 1, cbData, pOut) != cbData || fclose(pOut) != 0) FuzzFail("cannot stage the input");
    PictureRefusal eWhole = kPictureMade;
    HGLOBAL hDib = ReadPcxFileWithReason(OpenInput(), 0, static_cast<LONG>(cbData), &eWhole);
    CheckDibChecks(hDib);
    CheckCorner(hDib, eWhole, static_cast<LONG>(cbData));
    FuzzCheckDib(hDib);
    FuzzCheckNothingLeft();
    return 0;
}
