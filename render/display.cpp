#include "render/display.h"

#include <time.h>

#include <cerrno>

#include <algorithm>

#include "render/graphics.h"

namespace {

constexpr int64_t kNanosPerSecond = 1000000000;
// Bounds of the early wake-up: below the floor the scheduler's own jitter dominates; above
// the ceiling a badly loaded machine would turn pacing back into spinning.
constexpr int64_t kMinMargin = 50000;
constexpr int64_t kMaxMargin = 2000000;

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

int64_t TPreciseSleeper::Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * kNanosPerSecond + now.tv_nsec;
}

void TPreciseSleeper::SleepUntil(int64_t deadline) {
  const int64_t wake = deadline - margin_;
  if (wake > Now()) {
    const timespec until{static_cast<time_t>(wake / kNanosPerSecond),
                         static_cast<long>(wake % kNanosPerSecond)};
    // Interrupted by a signal: sleep on to the same instant.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
    // Follow the lateness at once when it grows, and let it shrink slowly, so one quiet
    // moment does not leave the next busy one overshooting.
    const int64_t late = Now() - wake;
    const int64_t wanted = late + late / 4;
    margin_ = wanted > margin_ ? wanted : margin_ - (margin_ - wanted) / 16;
    margin_ = std::clamp(margin_, kMinMargin, kMaxMargin);
  }
  while (Now() < deadline) {
    // The last stretch, shorter than the machine's wake-up lateness.
  }
}
