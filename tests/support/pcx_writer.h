// Test-side PCX and level archive writer: builds the byte images of fixtures,
// independently of the decoder under test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

struct PcxFields {
    uint8_t manufacturer = 10;
    uint8_t version = 5;
    uint8_t encoding = 1;
    uint8_t bitsPerPixel = 8;
    int16_t xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    uint8_t palette[48] = {};  // 16 triples red, green, blue
    uint8_t planes = 1;
    int16_t bytesPerLine = 0;
};

// Fields of a picture of the given shape (version 5, no header palette).
PcxFields PcxShape(int bits, int planes, int width, int height, int bytesPerLine);

// The 128-byte header.
Bytes PcxHeader(const PcxFields& f);

// Run-length items for the given decoded bytes; every value of 192 or more
// becomes a run, and no run is longer than 63. Runs may cross scan lines.
Bytes PcxEncode(const Bytes& decoded);

// Header + encoded data (+ marker 12 and 768 palette bytes when given).
Bytes PcxFile(const PcxFields& f, const Bytes& decoded, const Bytes* pTrailer768 = nullptr);

// A 768-byte palette: entry k = (k, 255 - k, k ^ 0x5A), non-black.
Bytes RampPalette768();

struct ArchiveEntry {
    Bytes name;  // the 12-byte field as stored (shorter: NUL-padded)
    Bytes data;
};

// An archive with the entries' data right after the directory, in order.
Bytes LevelArchive(const std::vector<ArchiveEntry>& entries);

// Name field helper: the string's bytes, NUL-padded to 12.
Bytes NameField(const std::string& name);

void PutLe32(Bytes* pOut, size_t at, uint32_t v);

// The bytes as a string, for the writers of files that take one.
inline std::string AsString(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}
