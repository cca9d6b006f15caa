// The paced flip on simulated displays of 60, 75, 120, 144, 165 and 240 Hz and on one that
// does not synchronise: 10 s of simulated time with 4 ms of work per frame, counting game
// updates, torn flips and the p99 of the interval between presented frames. The display's
// clock is simulated, so these figures do not depend on the load of the machine.

#include <memory>
#include <string>
#include <vector>

#include "bench/compare/bench_clock.h"
#include "render/display.h"
#include "render/graphics.h"
#include "render/headless/headless_driver.h"
#include "render/simulated_display.h"

namespace {

constexpr int64_t kSecond = 1000000000;

void Measure(double refresh_hz, const std::string& name) {
  auto display = std::make_shared<TSimulatedDisplay>(refresh_hz, true);
  SetDisplay(display);
  SetGraphicsDriver(HeadlessGraphicsDriver());
  HeadlessGraphicsDriver()->SetRecording(false);
  if (!OpenGraphics(640, 480, 32, 60, GFX_BACK_BUFFER)) return;
  Flip(-1);
  const int64_t start = display->LastPresent();
  const int64_t torn = display->TornFlips();
  int64_t updates = 0;
  int64_t last = start;
  std::vector<double> intervals;
  while (display->Now() < start + 10 * kSecond) {
    display->Advance(4000000);
    Flip(-1);
    if (display->LastPresent() > start + 10 * kSecond) break;
    ++updates;
    intervals.push_back(static_cast<double>(display->LastPresent() - last) / 1e6);
    last = display->LastPresent();
  }
  bench::report(("display_ups_" + name).c_str(), static_cast<double>(updates) / 10.0);
  bench::report(("display_torn_" + name).c_str(), static_cast<double>(display->TornFlips() - torn));
  bench::report(("display_p99_interval_" + name + "_ms").c_str(),
                bench::percentile(intervals, 99.0));
  const TFramePacing pacing = FramePacing();
  bench::report(("display_swap_interval_" + name).c_str(), pacing.swap_interval);
  EndGraphics();
  SetDisplay(nullptr);
}

}  // namespace

int main() {
  for (int hz : {60, 75, 120, 144, 165, 240}) Measure(hz, std::to_string(hz));
  Measure(0.0, "none");
  return 0;
}
