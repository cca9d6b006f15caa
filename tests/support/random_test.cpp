#include "support/random.h"

#include <gtest/gtest.h>

#include "support/truncate.h"

namespace {

class RandomTest : public ::testing::Test {
 protected:
  void TearDown() override { SetRandomState(4660); }
};

TEST_F(RandomTest, GeneratorStepsMatchKnownStates) {
  SetRandomState(1);
  RandomUnit();  // two steps: 1 -> 48271 -> 48271^2 mod (2^31-1)
  EXPECT_EQ(RandomState(), static_cast<int32_t>((48271LL * 48271LL) % 2147483647LL));

  // From 44488 the Schrage product is negative and wraps by the modulus.
  SetRandomState(44488);
  RandomUnit();
  const int64_t after_first = 2147483647LL - 3399;
  EXPECT_EQ(RandomState(), static_cast<int32_t>((after_first * 48271LL) % 2147483647LL));
}

TEST_F(RandomTest, SeedsOutsideTheGeneratorRangeFallBack) {
  SeedRandom(0);
  EXPECT_EQ(RandomState(), 4660);
  SeedRandom(-1);
  EXPECT_EQ(RandomState(), 4660);
  SeedRandom(-2);
  EXPECT_EQ(RandomState(), 2147483646);
}

TEST_F(RandomTest, RangeAcceptsBoundsInEitherOrder) {
  SeedRandom(99);
  const double forward = RandomRange(0, 360);
  SeedRandom(99);
  const double backward = RandomRange(360, 0);
  EXPECT_DOUBLE_EQ(forward, backward);
  for (int i = 0; i < 10000; ++i) {
    const double value = RandomRange(360, 0);
    ASSERT_GE(value, 0.0);
    ASSERT_LT(value, 360.0);
  }
}

TEST_F(RandomTest, IntIncludesBothBoundsAndAlwaysAdvances) {
  SeedRandom(7);
  bool saw_low = false, saw_high = false;
  for (int i = 0; i < 10000; ++i) {
    const int32_t value = RandomInt(3, -2);
    ASSERT_GE(value, -2);
    ASSERT_LE(value, 3);
    saw_low |= value == -2;
    saw_high |= value == 3;
  }
  EXPECT_TRUE(saw_low && saw_high);

  const int32_t before = RandomState();
  EXPECT_EQ(RandomInt(5, 5), 5);
  EXPECT_NE(RandomState(), before);
}

TEST(TruncateTest, RoundsTowardZeroAndSaturates) {
  EXPECT_EQ(TruncateToInt(999.999), 999);
  EXPECT_EQ(TruncateToInt(-0.5), 0);
  EXPECT_EQ(TruncateToInt(-2.9), -2);
  EXPECT_EQ(TruncateToInt(1e20), INT32_MAX);
  EXPECT_EQ(TruncateToInt(std::nan("")), 0);
}

TEST(DegreeTest, HeadingsAreClockwiseFromUp) {
  EXPECT_NEAR(SinDeg(90), 1.0, 1e-12);
  EXPECT_NEAR(CosDeg(180), -1.0, 1e-12);
  EXPECT_NEAR(SinDeg(-270), 1.0, 1e-12);
}

}  // namespace
