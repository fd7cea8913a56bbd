// What every fuzz input must leave behind: no open file, no live global
// block, and a packed DIB (when one came out) whose parts fit its block.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform_probes.h"
#include "vbl_platform.h"

inline void FuzzFail(const char* pszWhat)
{
    fprintf(stderr, "fuzz invariant broken: %s\n", pszWhat);
    abort();
}

// Checks and frees the decoder's result.
inline void FuzzCheckDib(HGLOBAL hDib)
{
    if (!hDib) return;
    SIZE_T cbBlock = GlobalSize(hDib);
    const BYTE* p = static_cast<const BYTE*>(GlobalLock(hDib));
    if (!p || cbBlock < sizeof(BITMAPINFOHEADER)) FuzzFail("packed DIB unreadable");
    BITMAPINFOHEADER bih;
    memcpy(&bih, p, sizeof(bih));
    unsigned long long cbStride = (static_cast<unsigned long long>(bih.biWidth) * bih.biBitCount + 31) / 32 * 4;
    if (bih.biSize != 40 || bih.biWidth < 1 || bih.biHeight < 1) FuzzFail("bad header");
    if (cbStride * static_cast<unsigned long long>(bih.biHeight) != bih.biSizeImage) FuzzFail("biSizeImage");
    if (40ull + 4ull * bih.biClrUsed + bih.biSizeImage != cbBlock) FuzzFail("block size");
    GlobalUnlock(hDib);
    GlobalFree(hDib);
}

// Pixels of the picture a PCX header describes (0 for no PCX header): the
// picture targets skip pictures of more than kFuzzMostPixels that the
// decoder still takes, whose decoding under ASan is legitimately slower than
// libFuzzer's timeout and reaches no code that small pictures do not. It
// also keeps every picture that they decode within their malloc limit.
constexpr long long kFuzzMostPixels = 1LL << 22;
inline long long PcxHeaderPixels(const unsigned char* pData, size_t cbData)
{
    if (cbData < 12 || pData[0] != 10) return 0;
    auto Field = [pData](int i) { return static_cast<int16_t>(pData[i] | (pData[i + 1] << 8)); };
    const long long llWidth = static_cast<long long>(Field(8)) - Field(4) + 1;
    const long long llHeight = static_cast<long long>(Field(10)) - Field(6) + 1;
    return llWidth > 0 && llHeight > 0 ? llWidth * llHeight : 0;
}

inline void FuzzCheckNothingLeft()
{
    if (ProbeOpenFiles() != 0) FuzzFail("a file was left open");
    if (ProbeLiveBlocks() != 0) FuzzFail("a global block was left allocated");
}
