// Reading little-endian fields out of bytes that came from a file. Every read
// is bounds-checked; a read past the end yields 0 and marks the cursor bad, so
// a parser reads all its fields and tests bBad once at the end.
#pragma once

#include <cstddef>
#include <cstdint>

struct ByteCursor {
    const uint8_t* pData;
    size_t cbSize;
    size_t pos;
    bool bBad;
};

inline ByteCursor MakeByteCursor(const void* pData, size_t cbSize)
{
    return ByteCursor{static_cast<const uint8_t*>(pData), cbSize, 0, false};
}

// Moves to an absolute position; beyond the end marks the cursor bad.
inline void CursorSeek(ByteCursor* pCur, size_t pos)
{
    if (pos > pCur->cbSize)
        pCur->bBad = true;
    else
        pCur->pos = pos;
}

inline bool CursorTake(ByteCursor* pCur, size_t n, const uint8_t** ppBytes)
{
    if (pCur->bBad || n > pCur->cbSize - pCur->pos) {
        pCur->bBad = true;
        return false;
    }
    *ppBytes = pCur->pData + pCur->pos;
    pCur->pos += n;
    return true;
}

inline uint8_t CursorU8(ByteCursor* pCur)
{
    const uint8_t* p;
    return CursorTake(pCur, 1, &p) ? p[0] : 0;
}

inline int16_t CursorI16(ByteCursor* pCur)
{
    const uint8_t* p;
    if (!CursorTake(pCur, 2, &p)) return 0;
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

inline uint16_t CursorU16(ByteCursor* pCur)
{
    return static_cast<uint16_t>(CursorI16(pCur));
}

inline int32_t CursorI32(ByteCursor* pCur)
{
    const uint8_t* p;
    if (!CursorTake(pCur, 4, &p)) return 0;
    uint32_t u = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                 (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    return static_cast<int32_t>(u);
}

// Copies n bytes out; on a short cursor the destination is left zeroed.
inline void CursorBytes(ByteCursor* pCur, void* pOut, size_t n)
{
    const uint8_t* p;
    uint8_t* pDst = static_cast<uint8_t*>(pOut);
    if (CursorTake(pCur, n, &p)) {
        for (size_t i = 0; i < n; ++i) pDst[i] = p[i];
    } else {
        for (size_t i = 0; i < n; ++i) pDst[i] = 0;
    }
}
