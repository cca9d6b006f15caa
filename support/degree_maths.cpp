// Sine and cosine of angles in degrees, computed here in plain double arithmetic rather
// than by the C library, whose last bits differ from one system to another: the game's
// motion follows these values, and a recording must play the same everywhere. The build
// compiles this file without fused multiply-adds, so every operation rounds as written.
//
// The angle is turned into radians with the same product as before (so results stay
// within an ulp of the C library's), reduced by a multiple of pi/2 held in three parts,
// and the remainder, at most pi/4, goes through the Taylor series to the last term that
// still counts in double precision.

#include <cmath>
#include <cstdint>

#include "support/random.h"

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kTwoOverPi = 0.6366197723675814;
// pi/2 = kHalfPi1 + kHalfPi2 + kHalfPi3: the first two have 33 significant bits, so their
// products with a quadrant count below 2^20 are exact.
constexpr double kHalfPi1 = 1.5707963267341256;
constexpr double kHalfPi2 = 6.077100506303966e-11;
constexpr double kHalfPi3 = 2.0222662487959506e-21;
// Beyond this many radians the quadrant count would outgrow the exact products; such
// angles (days of holding a rotate key) are first brought into one turn, exactly.
constexpr double kLargestReduced = 1.0e6;

// 1 / n! for the series.
constexpr double kInverseFactorial3 = 1.0 / 6.0;
constexpr double kInverseFactorial5 = 1.0 / 120.0;
constexpr double kInverseFactorial7 = 1.0 / 5040.0;
constexpr double kInverseFactorial9 = 1.0 / 362880.0;
constexpr double kInverseFactorial11 = 1.0 / 39916800.0;
constexpr double kInverseFactorial13 = 1.0 / 6227020800.0;
constexpr double kInverseFactorial15 = 1.0 / 1307674368000.0;
constexpr double kInverseFactorial17 = 1.0 / 355687428096000.0;
constexpr double kInverseFactorial4 = 1.0 / 24.0;
constexpr double kInverseFactorial6 = 1.0 / 720.0;
constexpr double kInverseFactorial8 = 1.0 / 40320.0;
constexpr double kInverseFactorial10 = 1.0 / 3628800.0;
constexpr double kInverseFactorial12 = 1.0 / 479001600.0;
constexpr double kInverseFactorial14 = 1.0 / 87178291200.0;
constexpr double kInverseFactorial16 = 1.0 / 20922789888000.0;
constexpr double kInverseFactorial18 = 1.0 / 6402373705728000.0;

// r * r as the sum of two doubles, exactly (Dekker's product: the halves of r's
// significand multiply without rounding).
struct exact_square {
  double head;
  double tail;
};
exact_square square_exactly(double r) {
  constexpr double kSplitter = 134217729.0;  // 2^27 + 1
  const double scaled = kSplitter * r;
  const double high = scaled - (scaled - r);
  const double low = r - high;
  const double head = r * r;
  const double tail = ((high * high - head) + 2.0 * high * low) + low * low;
  return {head, tail};
}

// The series of sin r past its first term, over r^3: -1/3! + r^2/5! - ...
double sine_series(double z) {
  return -kInverseFactorial3 +
         z * (kInverseFactorial5 +
              z * (-kInverseFactorial7 +
                   z * (kInverseFactorial9 +
                        z * (-kInverseFactorial11 +
                             z * (kInverseFactorial13 +
                                  z * (-kInverseFactorial15 + z * kInverseFactorial17))))));
}

// The series of cos r past its first two terms, over r^4: 1/4! - r^2/6! + ...
double cosine_series(double z) {
  return kInverseFactorial4 +
         z * (-kInverseFactorial6 +
              z * (kInverseFactorial8 +
                   z * (-kInverseFactorial10 +
                        z * (kInverseFactorial12 +
                             z * (-kInverseFactorial14 +
                                  z * (kInverseFactorial16 - z * kInverseFactorial18))))));
}

// sin (r + r_low) for |r| <= about pi/4 and r_low below half an ulp of r: every small
// term is summed first, so only the last addition rounds at the result's scale.
double sine_near_zero(double r, double r_low) {
  const double z = r * r;
  return r + (r * z * sine_series(z) + r_low * (1.0 - 0.5 * z));
}

// cos (r + r_low), likewise. 1 - r^2/2 is formed from the exact square and its own
// rounding recovered, since that step alone would cost most of an ulp.
double cosine_near_zero(double r, double r_low) {
  const exact_square z = square_exactly(r);
  const double half = 0.5 * z.head;
  const double head = 1.0 - half;
  const double rest = (((1.0 - head) - half) - 0.5 * z.tail) +
                      (z.head * z.head * cosine_series(z.head) - r * r_low);
  return head + rest;
}

struct reduced_angle {
  double remainder;  // radians, at most about pi/4 either way,
  double low;        // plus this, below half an ulp of it
  int32_t quadrant;  // 0 to 3
};

reduced_angle reduce(double degrees) {
  double radians = degrees * kRadiansPerDegree;
  if (!(std::fabs(radians) < kLargestReduced))
    radians = std::fmod(degrees, 360.0) * kRadiansPerDegree;
  const double scaled = radians * kTwoOverPi;
  const auto count = static_cast<int64_t>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
  const auto whole = static_cast<double>(count);
  // Both products below are exact and the first difference too; the second difference is
  // kept as a rounded sum and its error, then the last part of pi/2 joins the error.
  const double first = radians - whole * kHalfPi1;
  const double second_part = whole * kHalfPi2;
  const double second = first - second_part;
  const double error = ((first - second) - second_part) - whole * kHalfPi3;
  const double remainder = second + error;
  const double low = error - (remainder - second);
  return {remainder, low, static_cast<int32_t>(count & 3)};
}

}  // namespace

double SinDeg(double degrees) {
  if (!std::isfinite(degrees)) return degrees - degrees;  // NaN
  const reduced_angle angle = reduce(degrees);
  switch (angle.quadrant) {
    case 0:
      return sine_near_zero(angle.remainder, angle.low);
    case 1:
      return cosine_near_zero(angle.remainder, angle.low);
    case 2:
      return -sine_near_zero(angle.remainder, angle.low);
    default:
      return -cosine_near_zero(angle.remainder, angle.low);
  }
}

double CosDeg(double degrees) {
  if (!std::isfinite(degrees)) return degrees - degrees;
  const reduced_angle angle = reduce(degrees);
  switch (angle.quadrant) {
    case 0:
      return cosine_near_zero(angle.remainder, angle.low);
    case 1:
      return -sine_near_zero(angle.remainder, angle.low);
    case 2:
      return -cosine_near_zero(angle.remainder, angle.low);
    default:
      return sine_near_zero(angle.remainder, angle.low);
  }
}
