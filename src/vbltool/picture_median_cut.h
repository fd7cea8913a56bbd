// Median cut: the distinct colours of a picture split into boxes of like
// colours, each box the one of largest error split where the two halves'
// squared error is least. Integer arithmetic only, so that every build cuts
// the same boxes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One distinct colour of the picture and how many pixels have it.
struct Colour {
    int c[3];  // red, green, blue
    int64_t llCount;
    uint32_t uId;  // its index among the distinct colours
};

// A median-cut box: colours [uBegin, uEnd) of the work array, their pixel
// count, and per channel the sums of values and of squared values.
struct Box {
    size_t uBegin, uEnd;
    int64_t llCount;
    int64_t s[3], q[3];
    int64_t llError;  // sum of squared distances to the mean (rounded down)
};

// Splits the colours into at most nWanted boxes (fewer when the colours
// run out), reordering *pWork so that each box's colours lie together.
std::vector<Box> MedianCut(std::vector<Colour>* pWork, int nWanted);
