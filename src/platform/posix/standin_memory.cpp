// Global memory of the file-format core and vbltool (the packed DIB, the
// archive's directory, temporary names), over calloc and, for large blocks,
// mmap. A movable block's handle is not its address, so code that skips
// GlobalLock fails here too.
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

#include "vbl_platform.h"

namespace {

// Bookkeeping in front of every global block. A fixed block's handle is its
// data address; a movable block's handle is the address of this record, so a
// caller that uses a movable handle as memory reads the wrong bytes at once.
struct BlockRecord {
    BlockRecord* pNext;
    BlockRecord* pPrev;
    void* pHandle;
    BYTE* pData;
    SIZE_T cbSize;
    unsigned uLocks;
    bool bMoveable;
    void* pMapBase;  // the mapping that holds pData; null when from calloc
    SIZE_T cbMap;
};

BlockRecord* g_pBlocks = nullptr;

// Blocks of 2 MiB and more are mapped on their own, aligned to 2 MiB and
// marked for huge pages, which the system then uses where it offers them
// (transparent huge pages "always" or "madvise"; elsewhere the mark is
// ignored). vbltool decodes a whole picture into such a fresh block: filled
// 2 MiB at a time rather than 4 KiB at a time, a 16 MiB picture costs 8
// page faults instead of 4,096 (dear ones on virtual machines).
constexpr SIZE_T kHugePage = SIZE_T{2} << 20;

// Under AddressSanitizer every block comes from calloc, so that a stray
// access just past a block's end is caught whatever the block's size.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMapLargeBlocks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMapLargeBlocks = false;
#else
constexpr bool kMapLargeBlocks = true;
#endif
#else
constexpr bool kMapLargeBlocks = true;
#endif

// Zero-filled memory for a block; fills in its record's mapping, if any.
BYTE* AllocZeroed(BlockRecord* pRec, SIZE_T cbSize)
{
    if (kMapLargeBlocks && cbSize >= kHugePage && cbSize <= SIZE_MAX - kHugePage) {
        const SIZE_T cbMap = cbSize + kHugePage;  // room to align the start
        void* pBase = mmap(nullptr, cbMap, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (pBase == MAP_FAILED) return nullptr;
        const uintptr_t uStart = (reinterpret_cast<uintptr_t>(pBase) + kHugePage - 1) & ~uintptr_t{kHugePage - 1};
        BYTE* pData = reinterpret_cast<BYTE*>(uStart);
        madvise(pData, cbSize, MADV_HUGEPAGE);  // a hint: where refused, small pages
        pRec->pMapBase = pBase;
        pRec->cbMap = cbMap;
        return pData;
    }
    return static_cast<BYTE*>(calloc(cbSize ? cbSize : 1, 1));
}

BlockRecord* FindBlock(HGLOBAL hMem)
{
    for (BlockRecord* p = g_pBlocks; p; p = p->pNext) {
        if (p->pHandle == hMem) return p;
    }
    return nullptr;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes)
{
    bool bMoveable = (uFlags & GMEM_MOVEABLE) != 0;
    BlockRecord* pRec = static_cast<BlockRecord*>(calloc(1, sizeof(BlockRecord)));
    if (!pRec) return nullptr;
    // Contents are always zeroed; GMEM_ZEROINIT callers may rely on it, and the
    // others must not be able to see stale data by accident.
    pRec->pData = AllocZeroed(pRec, dwBytes);
    if (!pRec->pData) {
        free(pRec);
        return nullptr;
    }
    pRec->cbSize = dwBytes;
    pRec->bMoveable = bMoveable;
    pRec->pHandle = bMoveable ? static_cast<void*>(pRec) : static_cast<void*>(pRec->pData);
    pRec->pNext = g_pBlocks;
    if (g_pBlocks) g_pBlocks->pPrev = pRec;
    g_pBlocks = pRec;
    return pRec->pHandle;
}

LPVOID GlobalLock(HGLOBAL hMem)
{
    BlockRecord* pRec = FindBlock(hMem);
    if (!pRec) return nullptr;
    if (pRec->bMoveable) ++pRec->uLocks;
    return pRec->pData;
}

BOOL GlobalUnlock(HGLOBAL hMem)
{
    BlockRecord* pRec = FindBlock(hMem);
    if (!pRec || !pRec->bMoveable || pRec->uLocks == 0) return FALSE;
    --pRec->uLocks;
    return pRec->uLocks != 0;
}

HGLOBAL GlobalFree(HGLOBAL hMem)
{
    BlockRecord* pRec = FindBlock(hMem);
    if (!pRec) return hMem;  // failure, as on Windows
    if (pRec->pPrev)
        pRec->pPrev->pNext = pRec->pNext;
    else
        g_pBlocks = pRec->pNext;
    if (pRec->pNext) pRec->pNext->pPrev = pRec->pPrev;
    if (pRec->pMapBase)
        munmap(pRec->pMapBase, pRec->cbMap);
    else
        free(pRec->pData);
    free(pRec);
    return nullptr;
}

SIZE_T GlobalSize(HGLOBAL hMem)
{
    BlockRecord* pRec = FindBlock(hMem);
    return pRec ? pRec->cbSize : 0;
}
