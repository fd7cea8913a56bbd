#include "pcx_writer.h"

namespace {

void PutLe16(Bytes* pOut, size_t at, int v)
{
    (*pOut)[at] = static_cast<uint8_t>(v & 0xFF);
    (*pOut)[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

}  // namespace

void PutLe32(Bytes* pOut, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) (*pOut)[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

PcxFields PcxShape(int bits, int planes, int width, int height, int bytesPerLine)
{
    PcxFields f;
    f.bitsPerPixel = static_cast<uint8_t>(bits);
    f.planes = static_cast<uint8_t>(planes);
    f.xmax = static_cast<int16_t>(width - 1);
    f.ymax = static_cast<int16_t>(height - 1);
    f.bytesPerLine = static_cast<int16_t>(bytesPerLine);
    return f;
}

Bytes PcxHeader(const PcxFields& f)
{
    Bytes h(128, 0);
    h[0] = f.manufacturer;
    h[1] = f.version;
    h[2] = f.encoding;
    h[3] = f.bitsPerPixel;
    PutLe16(&h, 4, f.xmin);
    PutLe16(&h, 6, f.ymin);
    PutLe16(&h, 8, f.xmax);
    PutLe16(&h, 10, f.ymax);
    PutLe16(&h, 12, 72);
    PutLe16(&h, 14, 72);
    for (int i = 0; i < 48; ++i) h[16 + i] = f.palette[i];
    h[65] = f.planes;
    PutLe16(&h, 66, f.bytesPerLine);
    return h;
}

Bytes PcxEncode(const Bytes& decoded)
{
    Bytes out;
    size_t i = 0;
    while (i < decoded.size()) {
        uint8_t v = decoded[i];
        size_t n = 1;
        while (i + n < decoded.size() && decoded[i + n] == v && n < 63) ++n;
        if (n == 1 && v < 192) {
            out.push_back(v);
        } else {
            out.push_back(static_cast<uint8_t>(0xC0 | n));
            out.push_back(v);
        }
        i += n;
    }
    return out;
}

Bytes PcxFile(const PcxFields& f, const Bytes& decoded, const Bytes* pTrailer768)
{
    Bytes out = PcxHeader(f);
    Bytes data = PcxEncode(decoded);
    out.insert(out.end(), data.begin(), data.end());
    if (pTrailer768) {
        out.push_back(12);
        out.insert(out.end(), pTrailer768->begin(), pTrailer768->end());
    }
    return out;
}

Bytes RampPalette768()
{
    Bytes p(768);
    for (int k = 0; k < 256; ++k) {
        p[3 * k] = static_cast<uint8_t>(k);
        p[3 * k + 1] = static_cast<uint8_t>(255 - k);
        p[3 * k + 2] = static_cast<uint8_t>(k ^ 0x5A);
    }
    return p;
}

Bytes NameField(const std::string& name)
{
    Bytes f(12, 0);
    for (size_t i = 0; i < name.size() && i < 12; ++i) f[i] = static_cast<uint8_t>(name[i]);
    return f;
}

Bytes LevelArchive(const std::vector<ArchiveEntry>& entries)
{
    Bytes out(4 + 20 * entries.size(), 0);
    PutLe32(&out, 0, static_cast<uint32_t>(entries.size()));
    uint32_t offset = static_cast<uint32_t>(out.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        for (size_t j = 0; j < 12 && j < entries[i].name.size(); ++j) out[4 + 20 * i + j] = entries[i].name[j];
        PutLe32(&out, 4 + 20 * i + 12, offset);
        PutLe32(&out, 4 + 20 * i + 16, static_cast<uint32_t>(entries[i].data.size()));
        offset += static_cast<uint32_t>(entries[i].data.size());
    }
    for (const ArchiveEntry& e : entries) out.insert(out.end(), e.data.begin(), e.data.end());
    return out;
}
