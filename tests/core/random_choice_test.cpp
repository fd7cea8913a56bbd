// The random level choice: how the 32768 draws are cut into bands.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>

#include "catalogue/random_choice.h"

namespace {

// Checks the band structure for the range [lo, lo + span - 1]: results never
// decrease with the draw, stay in range, and each value takes either
// floor(32768 / span) or ceil(32768 / span) consecutive draws.
void ExpectBands(int a, int b)
{
    const int lo = a < b ? a : b;
    const std::int64_t span = static_cast<std::int64_t>(a < b ? b : a) - lo + 1;
    std::int64_t runStart = 0;
    int previous = RandomInRange(a, b, 0);
    ASSERT_EQ(previous, lo) << "span " << span;
    for (int r = 1; r <= 32768; ++r) {
        const int value = r < 32768 ? RandomInRange(a, b, r) : previous + 1;
        if (value == previous) continue;
        ASSERT_EQ(value, previous + 1) << "span " << span << " r " << r;
        const std::int64_t width = r - runStart;
        ASSERT_TRUE(width == 32768 / span || width == (32768 + span - 1) / span)
            << "span " << span << " band of " << width << " draws ending at " << r;
        runStart = r;
        previous = value;
    }
    EXPECT_EQ(previous - lo, span) << "every value of the range is reachable";
}

TEST(RandomChoiceTest, EverySmallSpanIsCutIntoEvenBands)
{
    for (int span = 1; span <= 600; ++span) ExpectBands(10, 10 + span - 1);
    for (int span : {1000, 4096, 10000, 32767, 32768}) ExpectBands(-5, -5 + span - 1);
}

TEST(RandomChoiceTest, KnownBandEdges)
{
    EXPECT_EQ(RandomInRange(0, 2, 10922), 0);
    EXPECT_EQ(RandomInRange(0, 2, 10923), 1);
    EXPECT_EQ(RandomInRange(0, 2, 21845), 1);
    EXPECT_EQ(RandomInRange(0, 2, 21846), 2);
    EXPECT_EQ(RandomInRange(0, 1, 16383), 0);
    EXPECT_EQ(RandomInRange(0, 1, 16384), 1);
    // The dialog's request on an empty list: bounds ordered to -1 and 0.
    EXPECT_EQ(RandomInRange(0, -1, 0), -1);
    EXPECT_EQ(RandomInRange(0, -1, 16383), -1);
    EXPECT_EQ(RandomInRange(0, -1, 16384), 0);
    EXPECT_EQ(RandomInRange(0, -1, 32767), 0);
}

TEST(RandomChoiceTest, BoundsInEitherOrderAndEqualBounds)
{
    for (int r : {0, 1, 12345, 32767}) {
        EXPECT_EQ(RandomInRange(0, 0, r), 0);
        EXPECT_EQ(RandomInRange(3, 3, r), 3);
        EXPECT_EQ(RandomInRange(5, 2, r), RandomInRange(2, 5, r));
        EXPECT_EQ(RandomInRange(INT_MAX, INT_MAX, r), INT_MAX);
        EXPECT_EQ(RandomInRange(INT_MIN, INT_MIN, r), INT_MIN);
    }
}

TEST(RandomChoiceTest, UpToSpan65538TheDrawMapsAsThe32BitProductDid)
{
    // r * span fits a signed 32-bit int up to span 65538, where the result is
    // lo + r * span / 32768 in 32-bit arithmetic.
    for (int span : {65535, 65536, 65537, 65538}) {
        for (int r = 0; r < 32768; r += 7) {
            const std::int32_t p = static_cast<std::int32_t>(r) * span;
            ASSERT_EQ(RandomInRange(100, 100 + span - 1, r), 100 + p / 32768) << span << " " << r;
        }
    }
}

TEST(RandomChoiceTest, HugeSpansStayWithinTheBounds)
{
    // Beyond span 65538 the 32-bit product would wrap and leave the range.
    const int pairs[][2] = {{0, 65538}, {0, 100000}, {-1, 2000000000}, {INT_MIN, INT_MAX}, {INT_MAX, INT_MIN + 1}};
    for (const auto& pair : pairs) {
        const int lo = pair[0] < pair[1] ? pair[0] : pair[1];
        const int hi = pair[0] < pair[1] ? pair[1] : pair[0];
        int previous = lo;
        for (int r = 0; r < 32768; ++r) {
            const int value = RandomInRange(pair[0], pair[1], r);
            ASSERT_GE(value, lo) << r;
            ASSERT_LE(value, hi) << r;
            ASSERT_GE(value, previous) << r;
            previous = value;
        }
        EXPECT_GT(previous, hi - (static_cast<std::int64_t>(hi) - lo) / 32768 - 1) << "the top band reaches the top";
    }
}

TEST(RandomChoiceTest, DrawsAre15BitsAndCreateRandomUsesOneDrawPerCall)
{
    std::srand(42);
    int highest = 0;
    for (int i = 0; i < 20000; ++i) {
        const int r = DrawRandom15();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 32767);
        if (r > highest) highest = r;
    }
    EXPECT_GT(highest, 30000);
    std::srand(9);
    const int r1 = DrawRandom15();
    const int r2 = DrawRandom15();
    std::srand(9);
    EXPECT_EQ(CreateRandom(0, 9), RandomInRange(0, 9, r1));
    EXPECT_EQ(CreateRandom(9, 0), RandomInRange(0, 9, r2));
}

}  // namespace
