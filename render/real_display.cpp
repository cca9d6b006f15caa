// The desktop's display: the monotonic clock, precise sleeps, and the graphics driver's own
// flips and refresh rate.

#include "render/display.h"
#include "render/graphics.h"

namespace {

class RealDisplay : public TDisplay {
 public:
  int64_t Now() override { return TPreciseSleeper::Now(); }
  void SleepUntil(int64_t deadline) override { sleeper_.SleepUntil(deadline); }
  void Flip(TGraphicsDriver& driver, int32_t sync) override { driver.Flip(sync); }
  double RefreshRate(TGraphicsDriver& driver) override { return driver.RefreshRate(); }
  bool AdaptiveSync(TGraphicsDriver& driver) override { return driver.AdaptiveSync(); }
  bool Unpaced(TGraphicsDriver& driver) override { return driver.Unpaced(); }

 private:
  TPreciseSleeper sleeper_;
};

}  // namespace

TDisplay& SystemDisplay() {
  static RealDisplay real;
  return real;
}
