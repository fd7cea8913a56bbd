#include "picture_quantize.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "picture_median_cut.h"
#include "picture_palette_search.h"

namespace {

constexpr int kKMeansPasses = 3;

// The distinct colours, in ascending order of their 24-bit value, and for
// each pixel the index of its colour among them.
struct ColourTable {
    std::vector<Colour> colours;
    std::vector<uint32_t> pixelColour;
};

uint32_t PixelKey(const unsigned char* p)
{
    return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
}

// Orders pixel indices by colour with two stable 12-bit counting passes.
std::vector<uint32_t> PixelsByColour(const std::vector<uint32_t>& keys)
{
    std::vector<uint32_t> order(keys.size()), tmp(keys.size());
    for (size_t i = 0; i < keys.size(); ++i) tmp[i] = static_cast<uint32_t>(i);
    for (int nShift = 0; nShift < 24; nShift += 12) {
        std::vector<uint32_t> start(4097, 0);
        for (uint32_t k : keys) ++start[((k >> nShift) & 4095) + 1];
        for (int b = 0; b < 4096; ++b) start[b + 1] += start[b];
        for (uint32_t i : tmp) order[start[(keys[i] >> nShift) & 4095]++] = i;
        tmp.swap(order);
    }
    return tmp;
}

ColourTable CountColours(const RgbImage& image)
{
    const size_t uPixels = image.rgb.size() / 3;
    std::vector<uint32_t> keys(uPixels);
    for (size_t i = 0; i < uPixels; ++i) keys[i] = PixelKey(&image.rgb[3 * i]);
    const std::vector<uint32_t> order = PixelsByColour(keys);
    ColourTable table;
    table.pixelColour.resize(uPixels);
    for (size_t k = 0; k < uPixels; ++k) {
        const uint32_t uKey = keys[order[k]];
        if (k == 0 || uKey != keys[order[k - 1]]) {
            const uint32_t uId = static_cast<uint32_t>(table.colours.size());
            table.colours.push_back({{int(uKey >> 16), int((uKey >> 8) & 255), int(uKey & 255)}, 0, uId});
        }
        ++table.colours.back().llCount;
        table.pixelColour[order[k]] = static_cast<uint32_t>(table.colours.size() - 1);
    }
    return table;
}

int RoundedMean(int64_t llSum, int64_t llCount)
{
    return static_cast<int>((2 * llSum + llCount) / (2 * llCount));
}

// Gives each colour its nearest entry, then moves each entry to the mean of
// its colours (an entry no colour chose stays). True when an entry moved.
bool KMeansPass(const std::vector<Colour>& colours, std::vector<int>* pChoice, int aPalette[][3], int nCount)
{
    PaletteSearch search;
    PrepareSearch(aPalette, nCount, &search);
    std::vector<int64_t> sums(4 * static_cast<size_t>(nCount), 0);
    for (size_t i = 0; i < colours.size(); ++i) {
        const int n = NearestEntry(search, aPalette, colours[i].c, (*pChoice)[i]);
        (*pChoice)[i] = n;
        for (int c = 0; c < 3; ++c) sums[4 * n + c] += colours[i].llCount * colours[i].c[c];
        sums[4 * n + 3] += colours[i].llCount;
    }
    bool bMoved = false;
    for (int n = 0; n < nCount; ++n) {
        if (!sums[4 * n + 3]) continue;
        for (int c = 0; c < 3; ++c) {
            const int v = RoundedMean(sums[4 * n + c], sums[4 * n + 3]);
            bMoved = bMoved || v != aPalette[n][c];
            aPalette[n][c] = v;
        }
    }
    return bMoved;
}

// The palette for more than 256 colours; *pChoice: each colour's entry.
void ChoosePalette(const ColourTable& table, int aPalette[][3], std::vector<int>* pChoice)
{
    std::vector<Colour> work = table.colours;
    std::vector<Box> boxes = MedianCut(&work, kPaletteSize);
    const int nCount = static_cast<int>(boxes.size());
    for (int n = 0; n < nCount; ++n) {
        for (int c = 0; c < 3; ++c) aPalette[n][c] = RoundedMean(boxes[n].s[c], boxes[n].llCount);
    }
    // Each colour starts from its box's entry.
    pChoice->assign(table.colours.size(), 0);
    for (int n = 0; n < nCount; ++n) {
        for (size_t i = boxes[n].uBegin; i < boxes[n].uEnd; ++i) (*pChoice)[work[i].uId] = n;
    }
    for (int nPass = 0; nPass < kKMeansPasses && KMeansPass(table.colours, pChoice, aPalette, nCount); ++nPass) {
    }
    // The last pass moved the entries: choose again among where they are now.
    PaletteSearch search;
    PrepareSearch(aPalette, nCount, &search);
    for (size_t i = 0; i < table.colours.size(); ++i) {
        (*pChoice)[i] = NearestEntry(search, aPalette, table.colours[i].c, (*pChoice)[i]);
    }
    for (int n = nCount; n < kPaletteSize; ++n) aPalette[n][0] = aPalette[n][1] = aPalette[n][2] = 0;
}

// Floyd-Steinberg, serpentine, errors in sixteenths of a level.
void Dither(const RgbImage& image, const int aPalette[][3], const std::vector<unsigned char>& plain,
            std::vector<unsigned char>* pIndices)
{
    PaletteSearch search;
    PrepareSearch(aPalette, kPaletteSize, &search);
    const int w = image.nWidth;
    std::vector<int> errThis(3 * (static_cast<size_t>(w) + 2), 0), errNext(errThis.size(), 0);
    for (int y = 0; y < image.nHeight; ++y) {
        const bool bBack = y % 2 == 1;
        for (int k = 0; k < w; ++k) {
            const int x = bBack ? w - 1 - k : k;
            const int dir = bBack ? -1 : 1;
            const size_t i = static_cast<size_t>(y) * w + x;
            int want[3];
            for (int c = 0; c < 3; ++c) {
                const int v =
                    image.rgb[3 * i + c] + (errThis[3 * (x + 1) + c] + (errThis[3 * (x + 1) + c] >= 0 ? 8 : -8)) / 16;
                want[c] = v < 0 ? 0 : (v > 255 ? 255 : v);
            }
            const int n = NearestEntry(search, aPalette, want, plain[i]);
            (*pIndices)[i] = static_cast<unsigned char>(n);
            for (int c = 0; c < 3; ++c) {
                const int e = want[c] - aPalette[n][c];
                errThis[3 * (x + 1 + dir) + c] += 7 * e;
                errNext[3 * (x + 1 - dir) + c] += 3 * e;
                errNext[3 * (x + 1) + c] += 5 * e;
                errNext[3 * (x + 1 + dir) + c] += e;
            }
        }
        errThis.swap(errNext);
        std::fill(errNext.begin(), errNext.end(), 0);
    }
}

}  // namespace

void QuantizePicture(const RgbImage& image, bool bDither, IndexedImage* pOut)
{
    pOut->nWidth = image.nWidth;
    pOut->nHeight = image.nHeight;
    memset(pOut->abPalette, 0, sizeof(pOut->abPalette));
    const ColourTable table = CountColours(image);
    int aPalette[kPaletteSize][3];
    std::vector<int> choice;
    const bool bFew = table.colours.size() <= kPaletteSize;
    if (bFew) {
        for (size_t n = 0; n < table.colours.size(); ++n) {
            for (int c = 0; c < 3; ++c) aPalette[n][c] = table.colours[n].c[c];
            choice.push_back(static_cast<int>(n));
        }
    } else {
        ChoosePalette(table, aPalette, &choice);
    }
    for (size_t n = 0; n < kPaletteSize && (!bFew || n < table.colours.size()); ++n) {
        for (int c = 0; c < 3; ++c) pOut->abPalette[3 * n + c] = static_cast<unsigned char>(aPalette[n][c]);
    }
    pOut->indices.resize(table.pixelColour.size());
    for (size_t i = 0; i < table.pixelColour.size(); ++i) {
        pOut->indices[i] = static_cast<unsigned char>(choice[table.pixelColour[i]]);
    }
    if (bDither && !bFew) {
        const std::vector<unsigned char> plain = pOut->indices;
        Dither(image, aPalette, plain, &pOut->indices);
    }
}
