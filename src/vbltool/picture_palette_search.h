// The nearest palette entry to a colour, by squared RGB distance, found in a
// few steps from a good guess.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kPaletteSize = 256;

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

// Prepares the search among the first nCount entries of aPalette.
void PrepareSearch(const int aPalette[][3], int nCount, PaletteSearch* pSearch);

// rgb: the colour sought; nGuess: an entry likely to be close. Ties go to the
// lower palette index.
int NearestEntry(const PaletteSearch& search, const int aPalette[][3], const int rgb[3], int nGuess);
