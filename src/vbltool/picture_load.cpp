// LoadPicture: any picture an author has, as true colour. PCX goes through
// the launcher's own decoder, palette BMPs through bmp_rle's rewrite, binary
// PGM and PPM through pnm_read, and everything else straight to stb_image.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "bmp_rle.h"
#include "picture_format.h"
#include "picture_image.h"
#include "picture_size_check.h"
#include "picture_stb.h"
#include "pnm_read.h"
#include "preview/pcx_decoder.h"
#include "tool_files.h"

namespace {

// stb_image reads the file from memory through these, so that a decoder that
// asks for bytes past the end (a truncated file, which stb_image would
// otherwise fill with zeros) is noticed.
struct MemoryInput {
    const std::vector<unsigned char>* pData;
    size_t uPos;
    bool bOverrun;
};

int ReadMemory(void* pUser, char* pDest, int nSize)
{
    auto* pIn = static_cast<MemoryInput*>(pUser);
    const size_t uLeft = pIn->pData->size() - pIn->uPos;
    if (uLeft == 0) pIn->bOverrun = true;
    const size_t n = nSize < 0 ? 0 : (static_cast<size_t>(nSize) < uLeft ? static_cast<size_t>(nSize) : uLeft);
    if (n) memcpy(pDest, pIn->pData->data() + pIn->uPos, n);
    pIn->uPos += n;
    return static_cast<int>(n);
}

void SkipMemory(void* pUser, int nCount)
{
    auto* pIn = static_cast<MemoryInput*>(pUser);
    const size_t uLeft = pIn->pData->size() - pIn->uPos;
    if (nCount < 0) {
        const size_t uBack = static_cast<size_t>(-static_cast<int64_t>(nCount));
        pIn->uPos = uBack < pIn->uPos ? pIn->uPos - uBack : 0;
        return;
    }
    if (static_cast<size_t>(nCount) > uLeft) pIn->bOverrun = true;
    pIn->uPos += static_cast<size_t>(nCount) < uLeft ? static_cast<size_t>(nCount) : uLeft;
}

int AtEndOfMemory(void* pUser)
{
    const auto* pIn = static_cast<const MemoryInput*>(pUser);
    return pIn->uPos >= pIn->pData->size();
}

const stbi_io_callbacks kMemoryCallbacks = {ReadMemory, SkipMemory, AtEndOfMemory};

std::string TooManyPixels(int64_t llWidth, int64_t llHeight)
{
    char sz[160];
    snprintf(sz, sizeof(sz), "the picture is %lld x %lld pixels, more than the launcher's limit of %lld pixels",
             static_cast<long long>(llWidth), static_cast<long long>(llHeight), static_cast<long long>(kPcxMaxPixels));
    return sz;
}

// A PCX header: manufacturer 10, a known version, run-length encoding. (A TGA
// file could start the same way only with an unusual 10-byte identifier.)
bool LooksLikePcx(const std::vector<unsigned char>& data)
{
    return data.size() >= 12 && data[0] == 10 && data[1] <= 5 && data[2] == 1;
}

bool LoadPcx(const char* pszPath, const std::vector<unsigned char>& data, RgbImage* pImage, std::string* pstrReason)
{
    auto Field = [&data](int i) { return static_cast<int16_t>(data[i] | (data[i + 1] << 8)); };
    const int64_t llWidth = int64_t{Field(8)} - Field(4) + 1;
    const int64_t llHeight = int64_t{Field(10)} - Field(6) + 1;
    if (llWidth > 0 && llHeight > 0 && llWidth * llHeight > kPcxMaxPixels) {
        *pstrReason = TooManyPixels(llWidth, llHeight);
        return false;
    }
    HFILE hFile = _lopen(pszPath, OF_READ);
    if (hFile == HFILE_ERROR) {
        *pstrReason = "cannot open the file";
        return false;
    }
    PictureRefusal eRefusal = kPictureMade;
    HGLOBAL hDib = ReadPcxFileWithReason(hFile, 0, static_cast<LONG>(data.size()), &eRefusal);  // closes hFile
    if (!hDib && eRefusal != kRefuseBitCount) {
        *pstrReason = PictureRefusalText(eRefusal);
        return false;
    }
    // A bit count no bitmap has is refused by the decoder before its block.
    const char* pszRefusal = hDib ? InspectDecoded(hDib).pszRefusal : PictureRefusalText(eRefusal);
    const bool bOk = !pszRefusal && DibToRgb(hDib, pImage);
    if (hDib) GlobalFree(hDib);
    if (!bOk) *pstrReason = std::string("the launcher cannot make a bitmap of it: ") + (pszRefusal ? pszRefusal : "");
    return bOk;
}

// Pixels with alpha (4 bytes each) laid over black, packed to 3 bytes each.
void OverBlack(const unsigned char* pRgba, size_t uPixels, unsigned char* pRgb)
{
    for (size_t i = 0; i < uPixels; ++i) {
        const unsigned a = pRgba[4 * i + 3];
        for (int c = 0; c < 3; ++c) pRgb[3 * i + c] = static_cast<unsigned char>((pRgba[4 * i + c] * a + 127) / 255);
    }
}

// stb_image's reason with every byte outside printable ASCII as '?': it can
// quote a PNG chunk's type from the file, newlines and all.
std::string PrintableText(const char* psz)
{
    std::string str(psz);
    for (char& c : str) {
        if (c < ' ' || c > '~') c = '?';
    }
    return str;
}

// Decodes data to nComponents 8-bit channels a pixel (null on failure). A
// 16-bit picture is decoded at 16 bits and each channel then rounded to the
// nearest 8-bit value, v x 255 / 65535, in place: stb_image's own narrowing
// drops the low byte, which moves colours. Integers only, so that both
// builds make the same bytes.
unsigned char* DecodeWithStb(const std::vector<unsigned char>& data, int nComponents, MemoryInput* pIn, int* pnWidth,
                             int* pnHeight)
{
    int nChannels = 0;
    *pIn = {&data, 0, false};
    const bool b16 = stbi_is_16_bit_from_callbacks(&kMemoryCallbacks, pIn) != 0;
    *pIn = {&data, 0, false};
    if (!b16) return stbi_load_from_callbacks(&kMemoryCallbacks, pIn, pnWidth, pnHeight, &nChannels, nComponents);
    stbi_us* p16 = stbi_load_16_from_callbacks(&kMemoryCallbacks, pIn, pnWidth, pnHeight, &nChannels, nComponents);
    if (!p16) return nullptr;
    // Value i's byte lies at or before its own 16-bit value: nothing is
    // overwritten before it is read.
    auto* p8 = reinterpret_cast<unsigned char*>(p16);
    const size_t uValues = static_cast<size_t>(*pnWidth) * static_cast<size_t>(*pnHeight) * nComponents;
    for (size_t i = 0; i < uValues; ++i) p8[i] = static_cast<unsigned char>((p16[i] * 255u + 32767u) / 65535u);
    return p8;
}

bool LoadWithStb(const std::vector<unsigned char>& data, RgbImage* pImage, std::string* pstrReason)
{
    MemoryInput in = {&data, 0, false};
    int nWidth = 0, nHeight = 0, nChannels = 0;
    if (!stbi_info_from_callbacks(&kMemoryCallbacks, &in, &nWidth, &nHeight, &nChannels)) {
        *pstrReason = UnreadablePictureReason(data);
        return false;
    }
    // A BMP's rows run top-down when its height is negative, which
    // stb_image's info passes on as it stands.
    const int64_t llHeight = nHeight < 0 && data[0] == 'B' ? -int64_t{nHeight} : nHeight;
    if (nWidth < 1 || llHeight < 1) {
        *pstrReason = "the picture has no pixels";
        return false;
    }
    if (nWidth * llHeight > kPcxMaxPixels) {
        *pstrReason = TooManyPixels(nWidth, llHeight);
        return false;
    }
    if (!PictureFitsFile(data, nWidth, nHeight, pstrReason)) return false;
    const bool bAlpha = nChannels == 2 || nChannels == 4;
    std::unique_ptr<unsigned char, void (*)(void*)> pPixels(DecodeWithStb(data, bAlpha ? 4 : 3, &in, &nWidth, &nHeight),
                                                            stbi_image_free);
    if (!pPixels || in.bOverrun) {
        // stb_image says "outofdata" where a PNG's compressed data is cut off,
        // and "outofmem" only once PictureFitsFile has found the file able to
        // hold the picture: then memory really is short, as a bad_alloc says.
        const bool bCut = in.bOverrun || (!pPixels && strcmp(stbi_failure_reason(), "outofdata") == 0);
        const bool bNoMemory = !bCut && strcmp(stbi_failure_reason(), "outofmem") == 0;
        *pstrReason = bCut        ? kPictureFileEnds
                      : bNoMemory ? "out of memory"
                                  : "cannot decode the picture (" + PrintableText(stbi_failure_reason()) + ")";
        return false;
    }
    const size_t uPixels = static_cast<size_t>(nWidth) * static_cast<size_t>(nHeight);
    pImage->nWidth = nWidth;
    pImage->nHeight = nHeight;
    pImage->rgb.resize(3 * uPixels);
    if (bAlpha) {
        OverBlack(pPixels.get(), uPixels, pImage->rgb.data());
    } else {
        memcpy(pImage->rgb.data(), pPixels.get(), 3 * uPixels);
    }
    return true;
}

// A palette BMP made plain (bmp_rle.h) for stb_image, refused by its size
// before anything is decoded.
bool LoadPaletteBmp(const std::vector<unsigned char>& data, const BmpLayout& layout, RgbImage* pImage,
                    std::string* pstrReason)
{
    const int64_t llRows = layout.llHeight < 0 ? -layout.llHeight : layout.llHeight;
    if (layout.llWidth > 0 && layout.llWidth * llRows > kPcxMaxPixels) {
        *pstrReason = TooManyPixels(layout.llWidth, llRows);
        return false;
    }
    std::vector<unsigned char> plain;
    if (const char* pszReason = RewritePaletteBmp(data, layout, kPcxMaxPixels, &plain)) {
        *pstrReason = pszReason;
        return false;
    }
    return LoadWithStb(plain, pImage, pstrReason);
}

bool LoadBmp(const std::vector<unsigned char>& data, RgbImage* pImage, std::string* pstrReason)
{
    *pstrReason = BmpFault(data);
    if (!pstrReason->empty()) return false;
    BmpLayout layout;
    ReadBmpLayout(data, &layout);
    if (IsPaletteBmp(layout)) return LoadPaletteBmp(data, layout, pImage, pstrReason);
    // Wider pixels: stb_image takes them only right after the header, so
    // whatever lies between (an optional colour table, padding) is left out.
    const size_t uHeaderEnd = BmpHeaderEnd(layout);
    if (layout.dwPixelsAt == uHeaderEnd) return LoadWithStb(data, pImage, pstrReason);
    std::vector<unsigned char> joined(data.begin(), data.begin() + static_cast<ptrdiff_t>(uHeaderEnd));
    joined.insert(joined.end(), data.begin() + layout.dwPixelsAt, data.end());
    PutLe32(joined.data() + 10, static_cast<uint32_t>(uHeaderEnd));
    return LoadWithStb(joined, pImage, pstrReason);
}

bool LoadPnm(const std::vector<unsigned char>& data, RgbImage* pImage, std::string* pstrReason)
{
    PnmHeader header;
    const char* pszReason = ReadPnmHeader(data, &header);
    if (!pszReason && header.llWidth * header.llHeight > kPcxMaxPixels) {
        *pstrReason = TooManyPixels(header.llWidth, header.llHeight);
        return false;
    }
    if (!pszReason) pszReason = ReadPnmPixels(data, header, pImage);
    if (pszReason) *pstrReason = pszReason;
    return !pszReason;
}

}  // namespace

bool LoadPicture(const char* pszPath, RgbImage* pImage, std::string* pstrReason)
{
    std::vector<unsigned char> data;
    if (!ReadWholeFile(pszPath, &data)) {
        *pstrReason = "cannot read the file";
        return false;
    }
    if (data.size() > static_cast<size_t>(INT32_MAX)) {
        *pstrReason = "the file is larger than 2 GiB";
        return false;
    }
    if (LooksLikePcx(data)) return LoadPcx(pszPath, data, pImage, pstrReason);
    if (const char* pszFault = JpegHuffmanFault(data)) {
        *pstrReason = pszFault;
        return false;
    }
    if (IsBinaryPnm(data)) return LoadPnm(data, pImage, pstrReason);
    if (data.size() >= 2 && data[0] == 'B' && data[1] == 'M') return LoadBmp(data, pImage, pstrReason);
    return LoadWithStb(data, pImage, pstrReason);
}
