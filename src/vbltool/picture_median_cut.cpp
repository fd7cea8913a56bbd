#include "picture_median_cut.h"

#include <cstring>
#include <utility>

namespace {

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

}  // namespace

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
