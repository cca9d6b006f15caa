#pragma once
// The one rule for turning a float into an integer: round toward zero.
// Values beyond the 32-bit range, and NaN, saturate instead of being undefined.

#include <cmath>
#include <cstdint>

inline int32_t TruncateToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(value);
}
