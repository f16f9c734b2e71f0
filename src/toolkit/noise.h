// Three-dimensional gradient noise in the manner of improved Perlin noise
// (quintic fade, twelve edge gradients) over seeded lattice tables, and two
// octave sums of it. Tables come from the process-wide generator, so the
// order in which they are built fixes every picture that uses them.
#pragma once
#include <cstdint>
#include <vector>

struct NoiseTable {
  // Seeds the process-wide generator with `seed`, then draws every gradient
  // and the three permutations (three draws an entry, in order A, B, C).
  // `mask` is size − 1 for the power-of-two sizes used; a mask that would
  // index past the tables is narrowed to the largest such mask that fits.
  NoiseTable(int32_t size, int32_t mask, int32_t seed);

  int32_t size;
  int32_t mask;
  std::vector<int32_t> gradientIndex;  // 3 × (0 … 11): offset into the gradient table
  std::vector<int32_t> permutationA;   // used with the lattice z
  std::vector<int32_t> permutationB;   // used with the lattice y result
  std::vector<int32_t> permutationC;   // built, never read
};

// Roughly −1 … 1; 0 at every integer lattice point. Integer parts truncate
// toward zero, so for negative coordinates the fraction is negative and the
// value jumps at negative integers.
float Noise3(const NoiseTable& table, float x, float y, float z);

// Sum of `octaves` noise octaves, halving the amplitude and doubling the
// frequency each time; Turbulence sums their absolute values.
float FractalNoise(const NoiseTable& table, float x, float y, float z, int32_t octaves);
float Turbulence(const NoiseTable& table, float x, float y, float z, int32_t octaves);
