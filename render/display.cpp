#include "render/display.h"

#include <algorithm>
#include <thread>

#include "render/graphics.h"

namespace {

// Bounds of the early wake-up: a ceiling so that a badly loaded machine does not turn pacing
// back into spinning (spinning there only gets the thread preempted).
constexpr int64_t kMaxMargin = 1000000;
// The margin tracks the 90th percentile of the wake-up lateness: up nine steps when a wake
// comes later than it, down one step otherwise. Rare long delays then barely move it, and
// spinning is paid only for the lateness most wakes show.
constexpr int64_t kMarginStep = 2000;

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

std::shared_ptr<TDisplay>& Installed() {
  static std::shared_ptr<TDisplay> display;
  return display;
}

}  // namespace

void SetDisplay(std::shared_ptr<TDisplay> display) {
  Installed() = std::move(display);
}

TDisplay& CurrentDisplay() {
  static RealDisplay real;
  const std::shared_ptr<TDisplay>& installed = Installed();
  return installed ? *installed : real;
}

void TPreciseSleeper::SleepUntil(int64_t deadline) {
  const int64_t wake = deadline - margin_;
  if (wake > Now()) {
    SleepToward(wake);
    const int64_t late = Now() - wake;
    margin_ += late > margin_ ? 9 * kMarginStep : -kMarginStep;
    margin_ = std::clamp(margin_, int64_t{0}, kMaxMargin);
  }
  // The last stretch, about as long as a wake-up is late. Yielding lets the threads a flip
  // depends on (the GL driver's, the display server) finish their work first.
  while (Now() < deadline) std::this_thread::yield();
}
