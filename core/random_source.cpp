#include "core/random_source.h"

namespace korven {

namespace {
constexpr uint64_t Multiplier = 6364136223846793005ULL;
Pcg32 generator = Pcg32Seeded(RandomSeed, RandomStream);
}  // namespace

Pcg32 Pcg32Seeded(uint64_t initState, uint64_t initSeq) {
    Pcg32 g{0, (initSeq << 1u) | 1u};
    Pcg32Next(g);
    g.state += initState;
    Pcg32Next(g);
    return g;
}

uint32_t Pcg32Next(Pcg32& g) {
    const uint64_t old = g.state;
    g.state = old * Multiplier + g.inc;
    const auto xorshifted = static_cast<uint32_t>(((old >> 18u) ^ old) >> 27u);
    const auto rot = static_cast<uint32_t>(old >> 59u);
    return (xorshifted >> rot) | (xorshifted << ((32u - rot) & 31u));
}

double NextRandom() { return static_cast<double>(Pcg32Next(generator) >> 8) * (1.0 / 16777216.0); }

void ResetRandom() { generator = Pcg32Seeded(RandomSeed, RandomStream); }

}  // namespace korven
