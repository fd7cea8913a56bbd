// Helpers shared by the core tests: a scratch directory made current for each
// test, packed DIB inspection, and checks of what the code under test left
// open or allocated. On Linux the checks use tests/support's probes around
// the platform stand-in; on Windows (under Wine) the real API.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game_folder.h"
#include "pcx_writer.h"
#include "vbl_platform.h"

// A fresh scratch folder (no "levels" in it), current for the length of each
// test.
class ScratchDirTest : public ::testing::Test {
    GameFolder m_folder{false};
};

HFILE OpenForReading(const std::string& path);

// The packed DIB copied out of its block, checked for consistency.
struct DibView {
    BITMAPINFOHEADER bih;
    std::vector<RGBQUAD> colours;
    Bytes pixels;  // biSizeImage bytes, bottom row first
    size_t cbStride;
    // Row r counted from the top of the picture.
    const uint8_t* TopRow(int r) const { return pixels.data() + (bih.biHeight - 1 - r) * cbStride; }
};

// Fails the test unless hDib is an unlocked packed DIB whose header, colour
// table and pixel area fit its block; frees the block.
DibView TakeDib(HGLOBAL hDib);

// True when every file the code under test opened is closed again. path is
// the file it was given (checked on Windows by deleting it).
bool AllFilesClosed(const std::string& path);

// Global blocks alive now; -1 where the platform cannot tell.
long LiveBlocks();

// GlobalAlloc calls so far, failed ones too; -1 where not counted.
long Allocations();

// Makes the nth GlobalAlloc from now fail; false where not supported.
bool FailAllocation(int nth);
// Makes the nth GlobalLock from now fail; false where not supported.
bool FailLock(int nth);

// _lread calls so far; -1 where not counted.
long ReadCalls();

// Counts the error boxes shown (and dismissed) between Start and Stop.
struct MessageBoxProbe {
    unsigned long ulBefore = 0;
    void* pWatcher = nullptr;
};
void StartMessageBoxProbe(MessageBoxProbe* pProbe);
// Returns the number of boxes; *pTexts receives their texts.
unsigned long StopMessageBoxProbe(MessageBoxProbe* pProbe, std::vector<std::string>* pTexts);
