#include "picture_quantize.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr int kPaletteSize = 256;
constexpr int kKMeansPasses = 3;

// One distinct colour of the picture and how many pixels have it.
struct Colour {
    int c[3];  // red, green, blue
    int64_t llCount;
    uint32_t uId;  // its index in the ColourTable
};

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

// A median-cut box: colours [uBegin, uEnd) of the work array, their pixel
// count, and per channel the sums of values and of squared values.
struct Box {
    size_t uBegin, uEnd;
    int64_t llCount;
    int64_t s[3], q[3];
    int64_t llError;  // sum of squared distances to the mean (rounded down)
};

int64_t BoxError(const Box& box)
{
    int64_t ll = 0;
    for (int c = 0; c < 3; ++c) ll += box.q[c] - box.s[c] * box.s[c] / box.llCount;
    return ll;
}

// Sums of the colours with channel value v, for one box along one channel.
struct AxisHistogram {
    int64_t n[256], s[256][3], q[256][3];
};

void FillHistogram(const std::vector<Colour>& work, const Box& box, int nAxis, AxisHistogram* pHist)
{
    memset(pHist, 0, sizeof(*pHist));
    for (size_t i = box.uBegin; i < box.uEnd; ++i) {
        const Colour& col = work[i];
        const int v = col.c[nAxis];
        pHist->n[v] += col.llCount;
        for (int c = 0; c < 3; ++c) {
            pHist->s[v][c] += col.llCount * col.c[c];
            pHist->q[v][c] += col.llCount * col.c[c] * col.c[c];
        }
    }
}

// The channel along which the box spreads most (n * variance * n).
int WidestAxis(const Box& box)
{
    int nAxis = 0;
    int64_t llBest = -1;
    for (int c = 0; c < 3; ++c) {
        const int64_t ll = box.llCount * box.q[c] - box.s[c] * box.s[c];
        if (ll > llBest) {
            llBest = ll;
            nAxis = c;
        }
    }
    return nAxis;
}

// The value t that leaves the least error when values <= t go left: the one
// that maximises the sum over channels of sL^2 / nL + sR^2 / nR.
int BestCut(const Box& box, const AxisHistogram& hist, Box* pLeft)
{
    Box left = {0, 0, 0, {0, 0, 0}, {0, 0, 0}, 0};
    int nBest = -1;
    int64_t llBestGain = -1;
    for (int v = 0; v < 255; ++v) {
        if (!hist.n[v]) continue;
        left.llCount += hist.n[v];
        for (int c = 0; c < 3; ++c) left.s[c] += hist.s[v][c], left.q[c] += hist.q[v][c];
        const int64_t llRight = box.llCount - left.llCount;
        if (!llRight) break;
        int64_t llGain = 0;
        for (int c = 0; c < 3; ++c) {
            const int64_t llRs = box.s[c] - left.s[c];
            llGain += left.s[c] * left.s[c] / left.llCount + llRs * llRs / llRight;
        }
        if (llGain > llBestGain) {
            llBestGain = llGain;
            nBest = v;
            *pLeft = left;
        }
    }
    return nBest;
}

// Splits box in two (false when all its colours are one); the work array's
// range is partitioned in place, the colours <= the cut first.
bool SplitBox(std::vector<Colour>* pWork, Box* pBox, Box* pNew)
{
    const int nAxis = WidestAxis(*pBox);
    AxisHistogram hist;
    FillHistogram(*pWork, *pBox, nAxis, &hist);
    Box left;
    const int nCut = BestCut(*pBox, hist, &left);
    if (nCut < 0) return false;
    size_t uMid = pBox->uBegin;
    for (size_t i = pBox->uBegin; i < pBox->uEnd; ++i) {
        if ((*pWork)[i].c[nAxis] <= nCut) std::swap((*pWork)[i], (*pWork)[uMid++]);
    }
    Box right = *pBox;
    right.uBegin = uMid;
    right.llCount -= left.llCount;
    for (int c = 0; c < 3; ++c) right.s[c] -= left.s[c], right.q[c] -= left.q[c];
    left.uBegin = pBox->uBegin;
    left.uEnd = uMid;
    left.llError = BoxError(left);
    right.llError = BoxError(right);
    *pBox = left;
    *pNew = right;
    return true;
}

int RoundedMean(int64_t llSum, int64_t llCount)
{
    return static_cast<int>((2 * llSum + llCount) / (2 * llCount));
}

// Median cut: the box of largest error is split until there are nWanted.
std::vector<Box> MedianCut(std::vector<Colour>* pWork, int nWanted)
{
    Box all = {0, pWork->size(), 0, {0, 0, 0}, {0, 0, 0}, 0};
    for (const Colour& col : *pWork) {
        all.llCount += col.llCount;
        for (int c = 0; c < 3; ++c) all.s[c] += col.llCount * col.c[c], all.q[c] += col.llCount * col.c[c] * col.c[c];
    }
    all.llError = BoxError(all);
    std::vector<Box> boxes(1, all);
    while (static_cast<int>(boxes.size()) < nWanted) {
        size_t uWorst = 0;
        for (size_t i = 1; i < boxes.size(); ++i) {
            if (boxes[i].llError > boxes[uWorst].llError) uWorst = i;
        }
        Box added;
        if (boxes[uWorst].llError == 0 || !SplitBox(pWork, &boxes[uWorst], &added)) break;
        boxes.push_back(added);
    }
    return boxes;
}

int SquaredDistance(const int* a, const int* b)
{
    return (a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]);
}

// Nearest palette entry by squared RGB distance, searched from a guess g: an
// entry c can be nearer to x than g only if |gc| <= 2 |gx| (triangle
// inequality), so each entry keeps the others in order of distance and the
// search stops at the first one beyond that. A good guess (the entry chosen
// before) makes it a few steps.
constexpr int kNeighbours = 32;

struct PaletteSearch {
    int nCount;
    // Row i: the kNeighbours entries j nearest to entry i (i included), as
    // (squared distance << 8) | j, ascending. A search that would need more
    // compares every entry.
    std::vector<uint32_t> neighbours;
};

void PrepareSearch(const int aPalette[][3], int nCount, PaletteSearch* pSearch)
{
    pSearch->nCount = nCount;
    pSearch->neighbours.assign(static_cast<size_t>(kPaletteSize) * kNeighbours, UINT32_MAX);
    uint32_t aKeys[kPaletteSize];
    const int nKept = std::min(nCount, kNeighbours);
    for (int i = 0; i < nCount; ++i) {
        for (int j = 0; j < nCount; ++j) {
            aKeys[j] =
                (static_cast<uint32_t>(SquaredDistance(aPalette[i], aPalette[j])) << 8) | static_cast<uint32_t>(j);
        }
        std::partial_sort(aKeys, aKeys + nKept, aKeys + nCount);
        std::copy(aKeys, aKeys + nKept, &pSearch->neighbours[static_cast<size_t>(i) * kNeighbours]);
    }
}

// rgb: the colour sought; nGuess: an entry likely to be close. Ties go to the
// lower palette index.
int NearestEntry(const PaletteSearch& search, const int aPalette[][3], const int rgb[3], int nGuess)
{
    int nBest = nGuess;
    const int nGuessDist = SquaredDistance(aPalette[nGuess], rgb);
    int nBestDist = nGuessDist;
    auto Consider = [&](int j) {
        const int d = SquaredDistance(aPalette[j], rgb);
        if (d < nBestDist || (d == nBestDist && j < nBest)) nBestDist = d, nBest = j;
    };
    const uint32_t uLimit = 4 * static_cast<uint32_t>(nGuessDist);
    const uint32_t* pRow = &search.neighbours[static_cast<size_t>(nGuess) * kNeighbours];
    for (int k = 0; k < kNeighbours; ++k) {
        if (pRow[k] == UINT32_MAX || (pRow[k] >> 8) > uLimit) return nBest;
        Consider(static_cast<int>(pRow[k] & 255));
    }
    for (int j = 0; j < search.nCount; ++j) Consider(j);
    return nBest;
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
