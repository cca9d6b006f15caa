// The paced flip on simulated displays: 10 s of simulated time each, counting game updates,
// torn flips, the p99 of the interval between presented frames and the CPU time the paced
// flip takes per second of game. Three kinds of case: frames of 4 ms of work on displays
// from 50 to 240 Hz and on one that does not synchronise; slow frames of 18 to 20 ms on the
// same displays; and a display that changes rate (a move to another monitor) after 5 s, with
// frames of 4 ms and with heavy ones of 9 to 12 ms (a software renderer, a slow GPU). The
// display's clock is simulated, so these figures do not depend on the load of the machine
// (except the CPU time, which is the real time the pacing code itself runs).

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/compare/bench_clock.h"
#include "input/event.h"
#include "render/display.h"
#include "render/graphics.h"
#include "render/headless/headless_driver.h"
#include "render/simulated_display.h"

namespace {

constexpr int64_t kMilli = 1000000;
constexpr int64_t kSecond = 1000000000;
constexpr int64_t kSpan = 10 * kSecond;

std::string RateName(double hz) {
  if (hz == 0.0) return "none";
  std::string name = std::to_string(static_cast<int>(hz));
  const int hundredths = static_cast<int>(hz * 100.0 + 0.5) % 100;
  return hundredths ? name + "_" + std::to_string(hundredths) : name;
}

TSimulatedRun Run(double refresh_hz, const std::vector<int64_t>& work,
                  const std::function<void(TSimulatedDisplay&, int64_t)>& during = {},
                  bool adaptive = true) {
  auto display = std::make_shared<TSimulatedDisplay>(refresh_hz, adaptive);
  SetDisplay(display);
  SetGraphicsDriver(HeadlessGraphicsDriver());
  HeadlessGraphicsDriver()->SetRecording(false);
  TSimulatedRun run;
  if (OpenGraphics(640, 480, 32, 60, GFX_BACK_BUFFER)) {
    run = RunSimulatedFrames(*display, kSpan, work, [&](int64_t, int64_t elapsed) {
      if (during) during(*display, elapsed);
    });
  }
  EndGraphics();
  SetDisplay(nullptr);
  return run;
}

void Report(const std::string& key, const TSimulatedRun& run, bool with_cpu) {
  const double seconds = static_cast<double>(kSpan) / kSecond;
  bench::report(("display_" + key + "_ups").c_str(), static_cast<double>(run.updates) / seconds);
  bench::report(("display_" + key + "_torn").c_str(), static_cast<double>(run.torn));
  if (with_cpu) {
    bench::report(("display_" + key + "_cpu_percent").c_str(), 100.0 * run.cpu_seconds / seconds);
  }
}

void MeasureFastFrames(double refresh_hz) {
  const std::string name = RateName(refresh_hz);
  const TSimulatedRun run = Run(refresh_hz, {4 * kMilli});
  bench::report(("display_ups_" + name).c_str(), static_cast<double>(run.updates) / 10.0);
  bench::report(("display_torn_" + name).c_str(), static_cast<double>(run.torn));
  bench::report(("display_p99_interval_" + name + "_ms").c_str(),
                bench::percentile(run.intervals_ms, 99.0));
}

void MeasureSlowFrames(double refresh_hz) {
  Report("slow_" + RateName(refresh_hz), Run(refresh_hz, {18 * kMilli, 19 * kMilli, 20 * kMilli}),
         true);
}

void MeasureChange(double from_hz, double to_hz, bool heavy) {
  const std::vector<int64_t> work =
      heavy ? std::vector<int64_t>{9 * kMilli, 10 * kMilli, 11 * kMilli, 12 * kMilli}
            : std::vector<int64_t>{4 * kMilli};
  // Heavy frames come from machines whose displays offer no adaptive flips (a software
  // renderer, Wine), which would otherwise show the late frames at once.
  const TSimulatedRun run = Run(
      from_hz, work,
      [to_hz](TSimulatedDisplay& display, int64_t elapsed) {
        if (elapsed < kSpan / 2 || display.Refresh() == to_hz) return;
        display.SetRefreshRate(to_hz);
        EmitEvent(TEvent::Create(EVENT_WINDOWMOVE));
      },
      !heavy);
  Report(
      std::string(heavy ? "heavy_change_" : "change_") + RateName(from_hz) + "_" + RateName(to_hz),
      run, true);
}

}  // namespace

int main() {
  const std::vector<double> rates{50, 59.94, 60, 62, 75, 120, 144, 165, 240, 0};
  for (double hz : rates) MeasureFastFrames(hz);
  for (double hz : rates) MeasureSlowFrames(hz);
  for (auto [from, to] : std::vector<std::pair<double, double>>{
           {120, 60}, {120, 144}, {120, 240}, {60, 75}, {60, 50}}) {
    MeasureChange(from, to, false);
  }
  for (auto [from, to] : std::vector<std::pair<double, double>>{{60, 75}, {120, 60}, {60, 144}}) {
    MeasureChange(from, to, true);
  }
  return 0;
}
