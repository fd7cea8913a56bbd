#include "pnm_read.h"

namespace {

const char kEndsEarly[] = "the file ends before the picture does";

bool IsBlank(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The header's fields in turn, from a position just past the magic number.
class HeaderCursor {
public:
    explicit HeaderCursor(const std::vector<unsigned char>& data) : m_data(data), m_uPos(2) {}

    // The next field, a decimal number of at most 9 digits, after blanks and
    // comments ('#' to the end of the line). False when there is none.
    bool Number(int64_t* pll)
    {
        while (m_uPos < m_data.size() && (IsBlank(m_data[m_uPos]) || m_data[m_uPos] == '#')) {
            if (m_data[m_uPos] == '#') {
                while (m_uPos < m_data.size() && m_data[m_uPos] != '\n' && m_data[m_uPos] != '\r') ++m_uPos;
            } else {
                ++m_uPos;
            }
        }
        int64_t ll = 0;
        int nDigits = 0;
        for (; m_uPos < m_data.size() && m_data[m_uPos] >= '0' && m_data[m_uPos] <= '9'; ++m_uPos) {
            if (++nDigits > 9) return false;
            ll = 10 * ll + (m_data[m_uPos] - '0');
        }
        *pll = ll;
        return nDigits > 0;
    }

    // The one blank that ends the header; the samples follow it.
    bool EndOfHeader()
    {
        if (m_uPos >= m_data.size() || !IsBlank(m_data[m_uPos])) return false;
        ++m_uPos;
        return true;
    }

    size_t Position() const { return m_uPos; }

private:
    const std::vector<unsigned char>& m_data;
    size_t m_uPos;
};

}  // namespace

bool IsBinaryPnm(const std::vector<unsigned char>& data)
{
    return data.size() >= 3 && data[0] == 'P' && (data[1] == '5' || data[1] == '6') &&
           (IsBlank(data[2]) || data[2] == '#');
}

const char* ReadPnmHeader(const std::vector<unsigned char>& data, PnmHeader* pHeader)
{
    HeaderCursor cursor(data);
    int64_t llMax = 0;
    if (!cursor.Number(&pHeader->llWidth) || !cursor.Number(&pHeader->llHeight) || !cursor.Number(&llMax) ||
        !cursor.EndOfHeader()) {
        return cursor.Position() >= data.size() ? kEndsEarly : "a PGM or PPM picture whose header is damaged";
    }
    if (pHeader->llWidth < 1 || pHeader->llHeight < 1) return "the picture has no pixels";
    if (llMax < 1 || llMax > 65535) return "a PGM or PPM picture whose maximum value is not 1 to 65535";
    pHeader->dwMax = static_cast<uint32_t>(llMax);
    pHeader->uChannels = data[1] == '6' ? 3 : 1;
    pHeader->uSamplesAt = cursor.Position();
    // Both sizes are below 10^9: their product fits, and is compared with
    // what the file holds without multiplying further.
    const size_t uPixelSize = pHeader->uChannels * (llMax > 255 ? 2 : 1);
    const uint64_t qwPixels = static_cast<uint64_t>(pHeader->llWidth * pHeader->llHeight);
    if (qwPixels > (data.size() - pHeader->uSamplesAt) / uPixelSize) return kEndsEarly;
    return nullptr;
}

const char* ReadPnmPixels(const std::vector<unsigned char>& data, const PnmHeader& header, RgbImage* pImage)
{
    const size_t uPixels = static_cast<size_t>(header.llWidth * header.llHeight);
    const size_t uSampleSize = header.dwMax > 255 ? 2 : 1;
    pImage->nWidth = static_cast<int>(header.llWidth);
    pImage->nHeight = static_cast<int>(header.llHeight);
    pImage->rgb.resize(3 * uPixels);
    const unsigned char* p = data.data() + header.uSamplesAt;
    for (size_t i = 0; i < uPixels * header.uChannels; ++i, p += uSampleSize) {
        const uint32_t dwSample = uSampleSize == 2 ? (p[0] << 8) | p[1] : p[0];
        if (dwSample > header.dwMax) return "a PGM or PPM picture with a sample above its maximum value";
        const auto b = static_cast<unsigned char>((dwSample * 255 + header.dwMax / 2) / header.dwMax);
        if (header.uChannels == 3) {
            pImage->rgb[i] = b;
        } else {
            pImage->rgb[3 * i] = pImage->rgb[3 * i + 1] = pImage->rgb[3 * i + 2] = b;
        }
    }
    return nullptr;
}
