// The PCX decoder's word-at-a-time part: the run-length items of image data
// already in a PcxReader's buffer, decoded or counted 8 or 64 bytes at a time.
//
// What it promises: exactly the items, counts and stops of the one-at-a-time
// loop, PcxNextByte item after item from the reader's position. Each function
// takes whole items only, each as PcxNextByte would read it there (a byte of
// 192 or more is a run marker whose value is the next byte, counted with it);
// it stores or counts what those items decode to, no more; it stops before the
// first item that could reach past its stretch, and leaves the reader at the
// first item it did not take, so that the one-at-a-time loop goes on from
// there as if it had read everything before. None of them reads the file:
// they work on the bytes already buffered, so the decoder's reads, and what it
// refuses, are those of the one-at-a-time loop.
//
// Defined here, inside the one file that includes it (pcx_decoder.cpp), with
// internal linkage: the compiler folds these loops into the decoder's as it
// did when they were written there, so the split costs no call per stretch.
#pragma once

#include <cstdint>
#include <cstring>

#include "preview/pcx_decoder.h"

namespace {

// Bit 0 of every byte of a word: times a byte value, a word of 8 copies of it.
constexpr uint64_t kEveryByte = 0x0101010101010101ull;

// How 8 bytes of image data split into items, given which of them are 192
// or more and whether the first is the value of a run marker before them:
// the run markers among them, the bytes that stand for themselves, and
// whether the last is a marker whose value comes next.
struct PcxWordItems {
    BYTE bMarkers;
    BYTE bLiterals;
    BYTE bCarry;
};

struct PcxScanTables {
    PcxWordItems aItems[2][256];  // [carry in][bit i: byte i is 192 or more]
    uint64_t aByteMasks[256];     // bit i set -> byte i all ones
};

constexpr PcxScanTables MakeScanTables()
{
    PcxScanTables t = {};
    for (unsigned uHigh = 0; uHigh < 256; ++uHigh) {
        for (unsigned uCarry = 0; uCarry < 2; ++uCarry) {
            PcxWordItems w = {0, 0, 0};
            bool bValue = uCarry != 0;
            for (unsigned i = 0; i < 8; ++i) {
                if (bValue) {
                    bValue = false;
                } else if (uHigh >> i & 1) {
                    w.bMarkers = static_cast<BYTE>(w.bMarkers | 1u << i);
                    bValue = true;
                } else {
                    ++w.bLiterals;
                }
            }
            w.bCarry = bValue;
            t.aItems[uCarry][uHigh] = w;
        }
        for (unsigned i = 0; i < 8; ++i) {
            if (uHigh >> i & 1) t.aByteMasks[uHigh] |= uint64_t{0xFF} << (8 * i);
        }
    }
    return t;
}

constexpr PcxScanTables kScanTables = MakeScanTables();

// Bit i set when byte i of the word is 192 or more: a run marker, or the
// value of one.
inline unsigned HighBytes(uint64_t ullWord)
{
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "byte i of a word is bits 8i to 8i + 7");
    // Bit 7 of each such byte, gathered into bits 0 to 7.
    const uint64_t ullHigh = ullWord & (ullWord << 1) & 0x8080808080808080ull;
    return static_cast<unsigned>(((ullHigh >> 7) * 0x0102040810204080ull) >> 56);
}

// Bits set in a word, without the processor's own instruction (which the
// product's x86 targets cannot assume).
inline unsigned CountBits(uint64_t x)
{
    x -= (x >> 1) & 0x5555555555555555ull;
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return static_cast<unsigned>((x * kEveryByte) >> 56);
}

// The sum of the bytes of a word whose bytes are at most 252 each.
inline unsigned SumBytes(uint64_t x)
{
    x = (x & 0x00FF00FF00FF00FFull) + ((x >> 8) & 0x00FF00FF00FF00FFull);
    return static_cast<unsigned>((x * 0x0001000100010001ull) >> 48);
}

// 16 copies of each byte value, for the stores of runs.
struct PcxPatterns {
    BYTE aabBytes[256][16];
};

constexpr PcxPatterns MakePatterns()
{
    PcxPatterns t = {};
    for (unsigned v = 0; v < 256; ++v) {
        for (unsigned i = 0; i < 16; ++i) t.aabBytes[v][i] = static_cast<BYTE>(v);
    }
    return t;
}

constexpr PcxPatterns kPatterns = MakePatterns();

// Decodes buffered image data into pDst from x on, 8 bytes at a time, as long
// as the items of the next 8 bytes end at least 64 bytes before xEnd; returns
// the new x and leaves the reader after the last item decoded. Its stores
// reach up to 64 bytes past the new x, never past xEnd: the items that follow
// overwrite them. pDst is restrict: the row never overlaps the reader, so its
// position can stay in a register across the stores.
//
// Each byte of a word is dealt with in the same few steps, whatever kind it
// is: a byte that stands for itself stores itself once, a run marker stores
// the byte after it its count of times, and a run's value stores nothing (x
// does not move, and what it wrote is overwritten by the items that follow).
// A store writes 16 or 64 bytes, the bytes past its run overwritten in turn.
int KeepWords(PcxReader* pReader, BYTE* __restrict pDst, int x, int xEnd)
{
    UINT uPos = pReader->uPos;
    unsigned uCarry = 0;
    while (pReader->uFill - uPos >= 9) {
        const BYTE* p = pReader->abBuffer + uPos;
        uint64_t ullWord;
        uint64_t ullNext;  // byte i: the byte after byte i
        memcpy(&ullWord, p, 8);
        memcpy(&ullNext, p + 1, 8);
        const PcxWordItems& items = kScanTables.aItems[uCarry][HighBytes(ullWord)];
        const unsigned uRunValues = (items.bMarkers << 1 | uCarry) & 0xFFu;
        const uint64_t ullMarkers = kScanTables.aByteMasks[items.bMarkers];
        const uint64_t ullSingles = kScanTables.aByteMasks[~(items.bMarkers | uRunValues) & 0xFFu];
        // Byte i: what item i stores, and how many times.
        const uint64_t ullStored = (ullWord & ~ullMarkers) | (ullNext & ullMarkers);
        const uint64_t ullCounts = (ullSingles & kEveryByte) | (ullWord & ullMarkers & (0x3F * kEveryByte));
        if (x + static_cast<int>(SumBytes(ullCounts)) > xEnd - 64) break;
        BYTE abStored[8];
        BYTE abCounts[8];
        memcpy(abStored, &ullStored, 8);
        memcpy(abCounts, &ullCounts, 8);
        for (int i = 0; i < 8; ++i) {
            const BYTE* pPattern = kPatterns.aabBytes[abStored[i]];
            memcpy(pDst + x, pPattern, 16);
            if (abCounts[i] > 16) {
                for (int j = 16; j < 64; j += 16) memcpy(pDst + x + j, pPattern, 16);
            }
            x += abCounts[i];
        }
        uCarry = items.bCarry;
        uPos += 8;
    }
    pReader->uPos = uPos + uCarry;  // past the last marker's value, stored with it
    return x;
}

// Counts the decoded bytes of the items of buffered data 64 bytes at a time,
// as long as they stay below *pllBytes; takes them off *pllBytes and leaves
// the reader after them. bCarry: the first byte is the value of a run marker
// counted before. Returns whether the byte after them is again such a value
// (its marker's count already taken off: the caller skips it).
// Only whole items are counted: a run marker's count is in its own byte, so
// it counts in the 64 bytes that hold it.
bool ScanBlocks(PcxReader* pReader, int64_t* pllBytes, bool bCarry)
{
    constexpr uint64_t kEven = 0x5555555555555555ull;  // bits 0, 2, 4, ...
    int64_t llBytes = *pllBytes;
    UINT uPos = pReader->uPos;
    uint64_t ullCarry = bCarry ? 1 : 0;
    while (pReader->uFill - uPos >= 64) {
        uint64_t aWords[8];
        memcpy(aWords, pReader->abBuffer + uPos, 64);
        uint64_t ullHigh = 0;  // bit i: byte i is 192 or more
        for (int j = 0; j < 8; ++j) ullHigh |= uint64_t{HighBytes(aWords[j])} << (8 * j);
        // In each run of such bytes the first is a marker, the next its
        // value, and so on; unless the run continues one from the bytes
        // before, begun by a marker whose value is byte 0. Adding a run's
        // first bit to it clears the whole run: that sorts the runs by
        // whether their markers sit on even or odd bits.
        const uint64_t ullStarts = ullHigh & ~(ullHigh << 1);
        const uint64_t ullEvenStarts = ullStarts & kEven & ~ullCarry;
        const uint64_t ullEvenRuns = ullHigh & ~(ullHigh + ullEvenStarts);
        const uint64_t ullMarkers = (ullEvenRuns & kEven) | (ullHigh & ~ullEvenRuns & ~kEven);
        const uint64_t ullValues = ullMarkers << 1 | ullCarry;
        // The markers' counts, added up a byte at a time over 4 words (at
        // most 4 x 63 a byte).
        uint64_t ullCounts0 = 0;
        uint64_t ullCounts1 = 0;
        for (int j = 0; j < 4; ++j) {
            ullCounts0 += aWords[j] & kScanTables.aByteMasks[ullMarkers >> (8 * j) & 0xFF] & (0x3F * kEveryByte);
            ullCounts1 +=
                aWords[j + 4] & kScanTables.aByteMasks[ullMarkers >> (8 * j + 32) & 0xFF] & (0x3F * kEveryByte);
        }
        const int64_t llBlock = CountBits(~ullHigh & ~ullValues) + SumBytes(ullCounts0) + SumBytes(ullCounts1);
        if (llBlock >= llBytes) break;
        llBytes -= llBlock;
        ullCarry = ullMarkers >> 63;
        uPos += 64;
    }
    pReader->uPos = uPos;
    *pllBytes = llBytes;
    return ullCarry != 0;
}

// The same, 8 bytes at a time.
bool ScanWords(PcxReader* pReader, int64_t* pllBytes, bool bCarry)
{
    int64_t llBytes = *pllBytes;
    UINT uPos = pReader->uPos;
    unsigned uCarry = bCarry ? 1 : 0;
    while (pReader->uFill - uPos >= 8) {
        uint64_t ullWord;
        memcpy(&ullWord, pReader->abBuffer + uPos, 8);
        const PcxWordItems& items = kScanTables.aItems[uCarry][HighBytes(ullWord)];
        // The markers' counts, at most 4 of 63: their sum fits the top byte.
        const uint64_t ullCounts = ullWord & kScanTables.aByteMasks[items.bMarkers] & (0x3F * kEveryByte);
        const int64_t llWord = items.bLiterals + static_cast<int64_t>((ullCounts * kEveryByte) >> 56);
        if (llWord >= llBytes) break;
        llBytes -= llWord;
        uCarry = items.bCarry;
        uPos += 8;
    }
    pReader->uPos = uPos;
    *pllBytes = llBytes;
    return uCarry != 0;
}

}  // namespace
