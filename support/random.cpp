#include "support/random.h"

#include <cmath>

#include "support/truncate.h"

namespace {

constexpr int32_t kInitialState = 4660;
constexpr int32_t kModulus = 0x7FFFFFFF;
int32_t state = kInitialState;

// Schrage's method: 48271 * state mod (2^31 - 1) without 64-bit overflow.
int32_t Step() {
  constexpr int32_t kMultiplier = 48271, kQuotient = 44488, kRemainder = 3399;
  state = kMultiplier * (state % kQuotient) - kRemainder * (state / kQuotient);
  if (state < 0) state += kModulus;
  return state;
}

}  // namespace

void SeedRandom(int32_t seed) {
  state = seed & kModulus;
  if (state == 0 || state == kModulus) state = kInitialState;
}

double RandomUnit() {
  const int32_t first = Step();
  const int32_t second = Step();
  return ((first & 0x1FFFFFFC) + (second & 0x1FFFFFF8) / 134217728.0) / 536870912.0;
}

double RandomRange(double a, double b) {
  const double unit = RandomUnit();
  return b > a ? a + unit * (b - a) : b + unit * (a - b);
}

int32_t RandomInt(int32_t a, int32_t b) {
  const double span = static_cast<double>(b) - static_cast<double>(a);
  const double unit = RandomUnit();
  if (span > 0) return a + TruncateToInt(unit * (span + 1));
  return b + TruncateToInt(unit * (1 - span));
}

int32_t RandomState() {
  return state;
}
void SetRandomState(int32_t new_state) {
  state = new_state;
}
