// The process-wide pseudo-random generator. Noise tables and module placements
// draw from this one state in a fixed order, so the pictures depend on it: it
// must be this linear congruential generator, not the C library's rand.
#pragma once
#include <cstdint>

// Sets the state (it is 1 at start).
void SeedRandom(uint32_t seed);

// state = state × 214013 + 2531011 (mod 2³²); returns (state >> 16) & 0x7FFF.
int NextRandom();
