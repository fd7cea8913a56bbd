// libFuzzer target: ReadPcxFile over arbitrary bytes as a bare PCX file. The
// input lives in a memory file reopened by name for each run, so the decoder
// gets a handle of its own to close.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "preview/pcx_decoder.h"

namespace {

const std::string& InputPath()
{
    static const std::string strPath = "/proc/self/fd/" + std::to_string(memfd_create("pcx-input", 0));
    return strPath;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
    if (cbData > INT32_MAX) return 0;
    FILE* pOut = fopen(InputPath().c_str(), "wb");  // truncates the memory file
    if (!pOut || fwrite(pData, 1, cbData, pOut) != cbData || fclose(pOut) != 0) FuzzFail("cannot stage the input");
    HFILE hFile = _lopen(InputPath().c_str(), OF_READ);
    if (hFile == HFILE_ERROR) FuzzFail("cannot open the staged input");
    FuzzCheckDib(ReadPcxFile(hFile, 0, static_cast<LONG>(cbData)));
    FuzzCheckNothingLeft();
    return 0;
}
