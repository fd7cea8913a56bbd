#include "catalogue/random_choice.h"

#include <cstdint>
#include <cstdlib>

int DrawRandom15()
{
    // MinGW's rand already yields 15 bits; wider generators are cut down to the
    // same 0..32767 range so that the bands below hold on every platform.
    return std::rand() & 0x7FFF;
}

int RandomInRange(int a, int b, int r)
{
    const int lo = a < b ? a : b;
    const int hi = a < b ? b : a;
    // In 64 bits: span reaches 2^32 and r * span 2^47, so neither can wrap,
    // and q = floor(r * span / 32768) < span keeps lo + q within [lo, hi].
    const std::int64_t span = static_cast<std::int64_t>(hi) - lo + 1;
    const std::int64_t q = (static_cast<std::int64_t>(r) * span) >> 15;
    return static_cast<int>(lo + q);
}

int CreateRandom(int a, int b)
{
    return RandomInRange(a, b, DrawRandom15());
}
