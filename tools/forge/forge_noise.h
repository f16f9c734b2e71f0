// Deterministic noise and random numbers for the forge's generators. Nothing
// here touches the show's process-wide generator: the data must not depend on
// what else ran before.
#pragma once
#include <cstdint>

uint32_t HashInts(int x, int y, int z, uint32_t seed);

// A small linear congruential generator of the forge's own.
struct ForgeRandom {
  uint32_t state;
  explicit ForgeRandom(uint32_t seed) : state(seed) {}
  uint32_t Next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
  float Uniform() { return float(Next() & 0xFFFFFF) / float(0x1000000); }  // [0, 1)
  float Range(float a, float b) { return a + (b - a) * Uniform(); }
};

// 2D gradient noise on an integer lattice that wraps every `period` cells in
// both directions, so a picture covering [0, period) tiles without seams.
// Roughly -1..1.
float TileNoise(float x, float y, int period, uint32_t seed);
// The same with its own period along each axis (stretched patterns).
float TileNoiseXY(float x, float y, int periodX, int periodY, uint32_t seed);
// Octave sum of TileNoise; the period doubles with the frequency so every
// octave still tiles. Normalised to roughly -1..1.
float TileFbm(float x, float y, int period, int octaves, uint32_t seed, float gain = 0.5f);
// Sum of absolute octaves (ridged look), roughly 0..1.
float TileTurbulence(float x, float y, int period, int octaves, uint32_t seed);
// Cellular (Worley) distance to the nearest feature point on a wrapping
// lattice; 0 at a point, about 1 between points.
float TileCells(float x, float y, int period, uint32_t seed);

// 3D gradient noise without wrapping, for shaping meshes.
float Noise3D(float x, float y, float z, uint32_t seed);

float SmoothStep(float e0, float e1, float x);
float Mix(float a, float b, float t);
