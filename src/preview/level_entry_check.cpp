#include "preview/level_entry_check.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

// Windows-1252 letters to upper case, as Windows compares file names.
unsigned char FoldCase(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<unsigned char>(c - 0x20);
    switch (c) {
    case 0x9A:  // s caron
    case 0x9C:  // oe
    case 0x9E:  // z caron
        return static_cast<unsigned char>(c - 0x10);
    case 0xFF:  // y diaeresis
        return 0x9F;
    default:
        return c;
    }
}

// <0, 0 or >0 as a and b order apart from letter case; neither longer than
// kLevelNameField bytes nor past its first NUL.
int CompareFolded(const BYTE* a, const BYTE* b)
{
    for (int i = 0; i < kLevelNameField; ++i) {
        const int d = FoldCase(a[i]) - FoldCase(b[i]);
        if (d != 0 || a[i] == 0) return d;
    }
    return 0;
}

bool EqualsIgnoringCase(const char* pszA, size_t cchA, const char* pszB)
{
    if (strlen(pszB) != cchA) return false;
    for (size_t i = 0; i < cchA; ++i) {
        if (FoldCase(static_cast<unsigned char>(pszA[i])) != FoldCase(static_cast<unsigned char>(pszB[i]))) {
            return false;
        }
    }
    return true;
}

// Windows opens a device for these, whatever the extension, letter case or
// blanks before the dot: CON, PRN, AUX, NUL, CONIN$, CONOUT$, and COM or LPT
// followed by a digit (superscripts 1 to 3 included).
bool IsDeviceName(const char* pszName)
{
    size_t cch = strcspn(pszName, ".");
    while (cch > 0 && pszName[cch - 1] == ' ') --cch;
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* pszDevice : kDevices) {
        if (EqualsIgnoringCase(pszName, cch, pszDevice)) return true;
    }
    if (cch != 4 || !(EqualsIgnoringCase(pszName, 3, "COM") || EqualsIgnoringCase(pszName, 3, "LPT"))) return false;
    const unsigned char cDigit = static_cast<unsigned char>(pszName[3]);
    return (cDigit >= '0' && cDigit <= '9') || cDigit == 0xB9 || cDigit == 0xB2 || cDigit == 0xB3;
}

// Why the record's data cannot be read whole from the file, or false.
bool DescribeRangeFault(const LevelDirectory* pDir, LONG lIndex, const LevelEntry& entry, char* pszOut, size_t cch)
{
    const int64_t llRecordEnd = 4 + (int64_t{lIndex} + 1) * kLevelRecordBytes;
    if (llRecordEnd > pDir->lFileSize) {
        snprintf(pszOut, cch, "its directory record is cut off by the end of the file");
    } else if (entry.lOffset < 0) {
        snprintf(pszOut, cch, "its offset %ld is negative", static_cast<long>(entry.lOffset));
    } else if (entry.lSize < 0) {
        snprintf(pszOut, cch, "its size %ld is negative", static_cast<long>(entry.lSize));
    } else if (int64_t{entry.lOffset} + entry.lSize > pDir->lFileSize) {
        snprintf(pszOut, cch, "its data (%ld bytes at offset %ld) runs past the end of the file (%ld bytes)",
                 static_cast<long>(entry.lSize), static_cast<long>(entry.lOffset), static_cast<long>(pDir->lFileSize));
    } else {
        return false;
    }
    return true;
}

// For each record, the index of the first earlier record whose name clashes
// with its own, or -1. Sorting keeps this n log n for directories of millions
// of records. False when there is no memory for it.
bool FindClashes(const BYTE* pTable, LONG lRecords, LONG* plFirstSame)
{
    LONG* plOrder = new (std::nothrow) LONG[static_cast<size_t>(lRecords)];
    if (!plOrder) return false;
    for (LONG i = 0; i < lRecords; ++i) {
        plOrder[i] = i;
        plFirstSame[i] = -1;
    }
    auto NameOf = [pTable](LONG i) { return pTable + static_cast<size_t>(i) * kLevelRecordBytes; };
    std::sort(plOrder, plOrder + lRecords, [&](LONG a, LONG b) {
        const int d = CompareFolded(NameOf(a), NameOf(b));
        return d != 0 ? d < 0 : a < b;
    });
    for (LONG k = 1; k < lRecords; ++k) {
        const LONG lPrev = plOrder[k - 1];
        if (CompareFolded(NameOf(lPrev), NameOf(plOrder[k])) == 0) {
            plFirstSame[plOrder[k]] = plFirstSame[lPrev] >= 0 ? plFirstSame[lPrev] : lPrev;
        }
    }
    delete[] plOrder;
    return true;
}

}  // namespace

void LevelEntryFileName(const LevelEntry* pEntry, char szName[kEntryFileNameChars])
{
    memcpy(szName, pEntry->abField, kLevelNameField);
    szName[kLevelNameField] = '\0';
}

const char* LevelEntryNameFault(const char* pszName)
{
    if (pszName[0] == '\0') return "its name is empty";
    if (strcmp(pszName, ".") == 0 || strcmp(pszName, "..") == 0) return "its name stands for a folder";
    for (const char* p = pszName; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7F) return "its name holds a control character";
        if (c == '/' || c == '\\') return "its name holds a folder separator";
        if (c == ':') return "its name holds ':', which names a drive or a stream on Windows";
        if (strchr("<>\"|?*", c)) return "its name holds a character that Windows refuses in file names";
    }
    const char cLast = pszName[strlen(pszName) - 1];
    if (cLast == '.' || cLast == ' ') return "its name ends with a dot or a blank, which Windows drops";
    if (IsDeviceName(pszName)) return "its name is a Windows device name";
    return nullptr;
}

bool LevelEntryNamesClash(const char* pszA, const char* pszB)
{
    return EqualsIgnoringCase(pszA, strlen(pszA), pszB);
}

LONG CheckLevelEntries(const LevelDirectory* pDir, LevelEntryFaultProc pfnFault, void* pContext)
{
    if (!pDir->hTable || pDir->lRecords <= 0) return 0;
    const BYTE* pTable = static_cast<const BYTE*>(GlobalLock(pDir->hTable));
    LONG* plFirstSame = new (std::nothrow) LONG[static_cast<size_t>(pDir->lRecords)];
    const bool bCompared = pTable && plFirstSame && FindClashes(pTable, pDir->lRecords, plFirstSame);
    if (pTable) GlobalUnlock(pDir->hTable);
    if (!bCompared) {
        delete[] plFirstSame;
        pfnFault(pContext, 0, "", "not enough memory to compare the entry names");
        return 1;
    }
    LONG lFaulty = 0;
    for (LONG i = 0; i < pDir->lRecords; ++i) {
        LevelEntry entry;
        GetLevelEntry(pDir, i, &entry);
        char szName[kEntryFileNameChars];
        LevelEntryFileName(&entry, szName);
        char szReason[128];
        const char* pszReason = szReason;
        if (!DescribeRangeFault(pDir, i, entry, szReason, sizeof(szReason))) {
            pszReason = LevelEntryNameFault(szName);
            if (!pszReason && plFirstSame[i] >= 0) {
                snprintf(szReason, sizeof(szReason), "its name is that of entry %ld, ignoring letter case",
                         static_cast<long>(plFirstSame[i]));
                pszReason = szReason;
            }
        }
        if (pszReason) {
            ++lFaulty;
            pfnFault(pContext, i, szName, pszReason);
        }
    }
    delete[] plFirstSame;
    return lFaulty;
}
