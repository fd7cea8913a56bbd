// Global memory of the file-format core and vbltool (the packed DIB, the
// archive's directory, temporary names), over calloc. A movable block's
// handle is not its address, so code that skips GlobalLock fails here too.
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
};

BlockRecord* g_pBlocks = nullptr;

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
    pRec->pData = static_cast<BYTE*>(calloc(dwBytes ? dwBytes : 1, 1));
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
    free(pRec->pData);
    free(pRec);
    return nullptr;
}

SIZE_T GlobalSize(HGLOBAL hMem)
{
    BlockRecord* pRec = FindBlock(hMem);
    return pRec ? pRec->cbSize : 0;
}
