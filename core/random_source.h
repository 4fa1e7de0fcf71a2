// The scatter's random numbers: PCG32 (XSH RR, O'Neill 2014) started from a fixed state, never from the clock,
// so the first scatter of every run lands the pieces on the same places of the same screen.
#pragma once
#include <cstdint>

namespace korven {

struct Pcg32 {
    uint64_t state;
    uint64_t inc;  // always odd
};

// The reference generator's own seeding: pcg32_srandom_r(initstate, initseq).
Pcg32 Pcg32Seeded(uint64_t initState, uint64_t initSeq);
uint32_t Pcg32Next(Pcg32& g);

// The program's start state: seed 42, stream 54.
constexpr uint64_t RandomSeed = 42;
constexpr uint64_t RandomStream = 54;

// Uniform in [0, 1): the top 24 bits of the next output times 2^-24, exact in a double.
double NextRandom();
// Back to the start state, as at program start.
void ResetRandom();

}  // namespace korven
