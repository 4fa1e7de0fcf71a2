#include "core/random_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace korven {
namespace {

TEST(Pcg32, MatchesTheReferenceStream) {
    // First outputs of the reference pcg32-demo for pcg32_srandom_r(42, 54).
    Pcg32 g = Pcg32Seeded(42, 54);
    const uint32_t expected[] = {0xa15c02b7u, 0x7b47f409u, 0xba1d3330u, 0x83d2f293u, 0xbfa4784bu, 0xcbed606eu};
    for (uint32_t e : expected) EXPECT_EQ(Pcg32Next(g), e);
}

TEST(NextRandom, StartsFromTheSameStateAfterReset) {
    ResetRandom();
    std::vector<double> first;
    for (int i = 0; i < 92; ++i) first.push_back(NextRandom());
    std::vector<double> next;
    for (int i = 0; i < 92; ++i) next.push_back(NextRandom());
    EXPECT_NE(first, next);  // a second scatter continues the sequence
    ResetRandom();
    for (int i = 0; i < 92; ++i) EXPECT_EQ(NextRandom(), first[static_cast<size_t>(i)]) << i;
}

TEST(NextRandom, FirstValueIsTheTop24BitsOfTheFirstOutput) {
    ResetRandom();
    EXPECT_EQ(NextRandom(), static_cast<double>(0xa15c02b7u >> 8) / 16777216.0);
    ResetRandom();
}

TEST(NextRandom, StaysInHalfOpenUnitIntervalAndIsUniform) {
    ResetRandom();
    int buckets[16] = {};
    double sum = 0;
    const int n = 160000;
    for (int i = 0; i < n; ++i) {
        const double r = NextRandom();
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 1.0);
        // Exactly k × 2^-24: nothing is lost between the generator and the double.
        ASSERT_EQ(std::ldexp(r, 24), std::floor(std::ldexp(r, 24)));
        sum += r;
        ++buckets[static_cast<int>(r * 16)];
    }
    EXPECT_NEAR(sum / n, 0.5, 0.005);
    for (int b : buckets) EXPECT_NEAR(b, n / 16, n / 16 / 10);
    ResetRandom();
}

}  // namespace
}  // namespace korven
