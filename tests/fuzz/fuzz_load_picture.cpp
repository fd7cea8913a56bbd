// libFuzzer target: vbltool's LoadPicture over arbitrary bytes as a file, as
// `vbltool picture` reads it: the format sniffing and its refusals, the
// palette BMP rewrite (run-length data above all), stb_image at 8 and 16 bits,
// and PCX through the launcher's decoder. The input lives in a memory file
// read by name. A picture must come out whole and within the launcher's
// pixel limit; a refusal is one line.
//
// Pictures of more than 4 megapixels that the launcher still takes are
// skipped: a few bytes of run-length or deflate data can stand for tens of
// megapixels, whose decoding under ASan is legitimately slower than
// libFuzzer's timeout and reaches no code that small pictures do not. What
// is left needs far less than the target's malloc limit (tests/fuzz
// CMakeLists.txt), so that a header that makes a reader ask for more than
// its file could fill is a finding.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bmp_rle.h"
#include "fuzz_check.h"
#include "picture_format.h"
#include "picture_image.h"
#include "picture_stb.h"
#include "preview/pcx_decoder.h"

namespace {

const std::string& InputPath()
{
    static const std::string strPath = "/proc/self/fd/" + std::to_string(memfd_create("picture-input", 0));
    return strPath;
}

bool LargeButTaken(const uint8_t* pData, size_t cbData)
{
    const std::vector<unsigned char> data(pData, pData + cbData);
    BmpLayout layout;
    int64_t llPixels = 0;
    int nWidth = 0, nHeight = 0, nChannels = 0;
    if (ReadBmpLayout(data, &layout)) {
        llPixels = layout.llWidth * (layout.llHeight < 0 ? -layout.llHeight : layout.llHeight);
    } else if (cbData <= INT32_MAX && !JpegHuffmanFault(data) &&
               stbi_info_from_memory(pData, static_cast<int>(cbData), &nWidth, &nHeight, &nChannels)) {
        llPixels = int64_t{nWidth} * nHeight;
    } else {
        llPixels = PcxHeaderPixels(pData, cbData);
    }
    return llPixels > kFuzzMostPixels && llPixels <= kPcxMaxPixels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
    if (LargeButTaken(pData, cbData)) return 0;
    FILE* pOut = fopen(InputPath().c_str(), "wb");  // truncates the memory file
    if (!pOut || fwrite(pData, 1, cbData, pOut) != cbData || fclose(pOut) != 0) FuzzFail("cannot stage the input");
    RgbImage image = {0, 0, {}};
    std::string strReason;
    if (LoadPicture(InputPath().c_str(), &image, &strReason)) {
        const int64_t llPixels = int64_t{image.nWidth} * image.nHeight;
        if (image.nWidth < 1 || image.nHeight < 1 || llPixels > kPcxMaxPixels) FuzzFail("a picture of a bad size");
        if (image.rgb.size() != 3 * static_cast<size_t>(llPixels)) FuzzFail("the pixels do not fill the picture");
    } else if (strReason.empty() || strReason.find('\n') != std::string::npos) {
        FuzzFail("a refusal that is not one line");
    }
    FuzzCheckNothingLeft();
    return 0;
}
