#include "test_support.h"

#include <cstring>

#ifdef _WIN32
#include "message_boxes.h"
#else
#include "platform_probes.h"
#endif

HFILE OpenForReading(const std::string& path)
{
    return _lopen(path.c_str(), OF_READ);
}

DibView TakeDib(HGLOBAL hDib)
{
    DibView v{};
    EXPECT_NE(hDib, nullptr);
    if (!hDib) return v;
    SIZE_T cbBlock = GlobalSize(hDib);
    const uint8_t* p = static_cast<const uint8_t*>(GlobalLock(hDib));
    EXPECT_NE(p, nullptr);
    if (p) {
        memcpy(&v.bih, p, sizeof(v.bih));
        EXPECT_EQ(v.bih.biSize, 40u);
        size_t cbTable = 4 * size_t{v.bih.biClrUsed};
        EXPECT_GE(cbBlock, 40 + cbTable + v.bih.biSizeImage);
        if (cbBlock >= 40 + cbTable + v.bih.biSizeImage) {
            v.colours.resize(v.bih.biClrUsed);
            if (cbTable) memcpy(v.colours.data(), p + 40, cbTable);
            v.pixels.assign(p + 40 + cbTable, p + 40 + cbTable + v.bih.biSizeImage);
            v.cbStride = v.bih.biHeight > 0 ? v.bih.biSizeImage / v.bih.biHeight : 0;
        }
        EXPECT_FALSE(GlobalUnlock(hDib)) << "the block was handed over locked";
    }
    EXPECT_EQ(GlobalFree(hDib), nullptr);
    return v;
}

#ifdef _WIN32

bool AllFilesClosed(const std::string& path)
{
    return DeleteFileA(path.c_str()) != 0;
}
long LiveBlocks()
{
    return -1;
}
long Allocations()
{
    return -1;
}
bool FailAllocation(int)
{
    return false;
}
bool FailLock(int)
{
    return false;
}
long ReadCalls()
{
    return -1;
}

void StartMessageBoxProbe(MessageBoxProbe* pProbe)
{
    pProbe->pWatcher = new MessageBoxCapture;
}

unsigned long StopMessageBoxProbe(MessageBoxProbe* pProbe, std::vector<std::string>* pTexts)
{
    auto* pCapture = static_cast<MessageBoxCapture*>(pProbe->pWatcher);
    pTexts->clear();
    for (const MessageBoxRecord& box : pCapture->Boxes()) pTexts->push_back(box.text);
    const unsigned long n = static_cast<unsigned long>(pCapture->Boxes().size());
    delete pCapture;
    pProbe->pWatcher = nullptr;
    return n;
}

#else

bool AllFilesClosed(const std::string&)
{
    return ProbeOpenFiles() == 0;
}
long LiveBlocks()
{
    return ProbeLiveBlocks();
}
long Allocations()
{
    return static_cast<long>(ProbeAllocations());
}
bool FailAllocation(int nth)
{
    ProbeFailAllocation(nth);
    return true;
}
bool FailLock(int nth)
{
    ProbeFailLock(nth);
    return true;
}
long ReadCalls()
{
    return static_cast<long>(StandinReadCalls());
}

void StartMessageBoxProbe(MessageBoxProbe* pProbe)
{
    pProbe->ulBefore = ProbeMessageBoxes();
}

unsigned long StopMessageBoxProbe(MessageBoxProbe* pProbe, std::vector<std::string>* pTexts)
{
    unsigned long n = ProbeMessageBoxes() - pProbe->ulBefore;
    pTexts->clear();
    if (n) pTexts->push_back(ProbeLastMessageText());
    return n;
}

#endif
