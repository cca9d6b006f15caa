#pragma once
// The game's one pseudo-random generator (Park-Miller, multiplier 48271) and
// degree-based trigonometry. Game thread only; the state is not synchronised.

#include <cstdint>

// Sets the generator state from the low 31 bits of seed; 0 and 0x7FFFFFFF give 4660.
void SeedRandom(int32_t seed);
// A double in [0, 1). Advances the state twice.
double RandomUnit();
// A double from the smaller bound (included) to the larger (excluded); either order.
double RandomRange(double a, double b);
// An integer between the bounds, both included; either order. Advances the state twice.
int32_t RandomInt(int32_t a, int32_t b);

// The raw generator state, for tests and for saving a game's seed.
int32_t RandomState();
void SetRandomState(int32_t state);

double SinDeg(double degrees);
double CosDeg(double degrees);
