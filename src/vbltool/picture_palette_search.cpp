#include "picture_palette_search.h"

#include <algorithm>

namespace {

int SquaredDistance(const int* a, const int* b)
{
    return (a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]);
}

}  // namespace

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
