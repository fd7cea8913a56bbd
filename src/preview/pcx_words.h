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
#pragma once

#include <cstdint>

#include "preview/pcx_decoder.h"

// Bit 0 of every byte of a word: times a byte value, a word of 8 copies of it.
constexpr uint64_t kEveryByte = 0x0101010101010101ull;

// Decodes buffered image data into pDst from x on, 8 bytes at a time, as long
// as the items of the next 8 bytes end at least 64 bytes before xEnd; returns
// the new x and leaves the reader after the last item decoded. It may write up
// to 64 bytes past x (never past xEnd): the bytes past the decoded ones are
// overwritten by the items that follow. pDst is restrict: the row never
// overlaps the reader, so its position can stay in a register across stores.
int KeepWords(PcxReader* pReader, BYTE* __restrict pDst, int x, int xEnd);

// Counts the decoded bytes of the items of buffered data 64 bytes at a time,
// as long as they stay below *pllBytes; takes them off *pllBytes and leaves
// the reader after them. bCarry: the first byte is the value of a run marker
// counted before. Returns whether the byte after them is again such a value
// (its marker's count already taken off: the caller skips it).
bool ScanBlocks(PcxReader* pReader, int64_t* pllBytes, bool bCarry);

// The same, 8 bytes at a time.
bool ScanWords(PcxReader* pReader, int64_t* pllBytes, bool bCarry);
