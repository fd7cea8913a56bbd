// Compares the picture in a .bmp written by vbltool with a binary PPM from a
// peer decoder, pixel by pixel. Usage: bmp_pnm_compare MODE OURS.bmp THEIRS.ppm
//   colours  every pixel has the same RGB colour in both
//   indices  the palettes may differ: each of our palette indices must stand
//            for one and the same colour of theirs throughout the picture, and
//            no two for the same one
//   defaults the same, both sides showing their own default colours, which
//            begin with black: index 0 is black in both, so that a picture
//            with its indices inverted or swapped shows; and no two of our
//            indices show one colour, so that a default colour lost shows
//            (ours show white at 7 and at 15: not for pictures of both)
// Exit 0 same, 1 different (first difference on stderr), 2 unreadable.
// Deliberately independent of the decoder's own code.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

struct Picture {
    long width = 0, height = 0;
    std::vector<uint32_t> rgb;  // 0xRRGGBB, top row first
    std::vector<int> index;     // palette index per pixel, -1 for direct colour
};

std::vector<uint8_t> Slurp(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int n)
{
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | b.at(at + i);
    return v;
}

bool ReadBmp(const char* path, Picture* p)
{
    std::vector<uint8_t> b = Slurp(path);
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return false;
    uint32_t offBits = Le(b, 10, 4);
    p->width = static_cast<int32_t>(Le(b, 18, 4));
    p->height = static_cast<int32_t>(Le(b, 22, 4));
    unsigned bits = Le(b, 28, 2);
    uint32_t clrUsed = Le(b, 46, 4);
    if (p->width < 1 || p->height < 1 || Le(b, 14, 4) != 40) return false;
    size_t stride = (static_cast<size_t>(p->width) * bits + 31) / 32 * 4;
    if (offBits + stride * p->height > b.size() || 54 + 4 * size_t{clrUsed} > offBits) return false;
    p->rgb.resize(static_cast<size_t>(p->width) * p->height);
    p->index.assign(p->rgb.size(), -1);
    for (long y = 0; y < p->height; ++y) {
        const uint8_t* row = &b[offBits + stride * (p->height - 1 - y)];
        for (long x = 0; x < p->width; ++x) {
            size_t at = static_cast<size_t>(y) * p->width + x;
            if (bits == 24) {
                p->rgb[at] = (uint32_t{row[3 * x + 2]} << 16) | (uint32_t{row[3 * x + 1]} << 8) | row[3 * x];
                continue;
            }
            if (bits != 1 && bits != 2 && bits != 4 && bits != 8) return false;
            size_t bit = static_cast<size_t>(x) * bits;
            int idx = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1);
            p->index[at] = idx;
            if (static_cast<uint32_t>(idx) >= clrUsed) {
                p->rgb[at] = 0xFF000000u;  // no such colour: never equal to a real one
            } else {
                size_t q = 54 + 4 * static_cast<size_t>(idx);
                p->rgb[at] = (uint32_t{b[q + 2]} << 16) | (uint32_t{b[q + 1]} << 8) | b[q];
            }
        }
    }
    return true;
}

// One number of a PNM header, skipping white space and comments.
bool PnmNumber(const std::vector<uint8_t>& b, size_t* pos, long* out)
{
    while (*pos < b.size() && (isspace(b[*pos]) || b[*pos] == '#')) {
        if (b[*pos] == '#') {
            while (*pos < b.size() && b[*pos] != '\n') ++*pos;
        } else {
            ++*pos;
        }
    }
    if (*pos >= b.size() || !isdigit(b[*pos])) return false;
    *out = 0;
    while (*pos < b.size() && isdigit(b[*pos])) *out = *out * 10 + (b[(*pos)++] - '0');
    return true;
}

bool ReadPpm(const char* path, Picture* p)
{
    std::vector<uint8_t> b = Slurp(path);
    size_t pos = 2;
    long maxval = 0;
    if (b.size() < 2 || b[0] != 'P' || b[1] != '6') return false;
    if (!PnmNumber(b, &pos, &p->width) || !PnmNumber(b, &pos, &p->height) || !PnmNumber(b, &pos, &maxval)) return false;
    ++pos;
    if (maxval != 255 || pos + 3 * static_cast<size_t>(p->width) * p->height > b.size()) return false;
    p->rgb.resize(static_cast<size_t>(p->width) * p->height);
    for (size_t i = 0; i < p->rgb.size(); ++i, pos += 3) {
        p->rgb[i] = (uint32_t{b[pos]} << 16) | (uint32_t{b[pos + 1]} << 8) | b[pos + 2];
    }
    return true;
}

int Differ(const Picture& ours, size_t at, const char* what)
{
    fprintf(stderr, "%s at x=%ld y=%ld: ours #%06X, theirs differ\n", what, static_cast<long>(at % ours.width),
            static_cast<long>(at / ours.width), ours.rgb[at] & 0xFFFFFFu);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: bmp_pnm_compare colours|indices|defaults OURS.bmp THEIRS.ppm\n");
        return 2;
    }
    Picture ours, theirs;
    if (!ReadBmp(argv[2], &ours) || !ReadPpm(argv[3], &theirs)) {
        fprintf(stderr, "unreadable input\n");
        return 2;
    }
    if (ours.width != theirs.width || ours.height != theirs.height) {
        fprintf(stderr, "size %ldx%ld against %ldx%ld\n", ours.width, ours.height, theirs.width, theirs.height);
        return 1;
    }
    const bool byDefaults = strcmp(argv[1], "defaults") == 0;
    const bool byIndex = byDefaults || strcmp(argv[1], "indices") == 0;
    std::map<int, uint32_t> seen;
    std::map<uint32_t, int> seenBack;
    std::map<uint32_t, int> oursBack;  // defaults: our colour -> the index showing it
    for (size_t i = 0; i < ours.rgb.size(); ++i) {
        if (byIndex && ours.index[i] >= 0) {
            auto it = seen.emplace(ours.index[i], theirs.rgb[i]).first;
            if (it->second != theirs.rgb[i]) return Differ(ours, i, "index maps to two colours");
            if (seenBack.emplace(theirs.rgb[i], ours.index[i]).first->second != ours.index[i]) {
                return Differ(ours, i, "two indices map to one colour");
            }
            if (byDefaults && ours.index[i] == 0 && (ours.rgb[i] != 0 || theirs.rgb[i] != 0)) {
                return Differ(ours, i, "index 0 of the default colours is not black in both");
            }
            if (byDefaults && ours.rgb[i] <= 0xFFFFFFu &&
                oursBack.emplace(ours.rgb[i], ours.index[i]).first->second != ours.index[i]) {
                return Differ(ours, i, "two of our default colours are one colour");
            }
        } else if (ours.rgb[i] != theirs.rgb[i]) {
            fprintf(stderr, "theirs #%06X\n", theirs.rgb[i]);
            return Differ(ours, i, "colour");
        }
    }
    return 0;
}
