// Our paced page flip: 3,600 frames (600 with --quick) of 4 ms busy work followed by
// Flip(-1) on a 640 x 480 window at 60 Hz, timestamped right after each flip. Then the CPU
// time the pacing itself takes: 600 frames (120) of Flip(-1) and nothing else, with the page
// going nowhere, so that only the sleeping and waiting is counted, with its precision.

#include <memory>
#include <vector>

#include "bench/compare/pacing_stats.h"
#include "render/display.h"
#include "render/default_driver.h"
#include "render/graphics.h"
#include "render/headless/headless_driver.h"

namespace {

// The real clock and sleep, in front of a driver that presents nothing.
class ClockOnlyDisplay : public TDisplay {
 public:
  int64_t Now() override { return TPreciseSleeper::Now(); }
  void SleepUntil(int64_t deadline) override { sleeper_.SleepUntil(deadline); }
  void Flip(TGraphicsDriver& driver, int32_t sync) override { driver.Flip(sync); }
  double RefreshRate(TGraphicsDriver&) override { return 0.0; }
  bool AdaptiveSync(TGraphicsDriver&) override { return false; }
  bool Unpaced(TGraphicsDriver&) override { return false; }

 private:
  TPreciseSleeper sleeper_;
};

void MeasurePacingCpu(int32_t flips) {
  SetDisplay(std::make_shared<ClockOnlyDisplay>());
  SetGraphicsDriver(HeadlessGraphicsDriver());
  HeadlessGraphicsDriver()->SetRecording(false);
  if (!OpenGraphics(640, 480, 0, 60, GFX_BACK_BUFFER)) return;
  Flip(-1);
  std::vector<double> stamps;
  stamps.reserve(static_cast<size_t>(flips) + 1);
  const double wall = bench::now_seconds();
  const double cpu = bench::thread_cpu_seconds();
  stamps.push_back(wall);
  for (int32_t i = 0; i < flips; ++i) {
    Flip(-1);
    stamps.push_back(bench::now_seconds());
  }
  bench::report("pacing_cpu_percent",
                100.0 * (bench::thread_cpu_seconds() - cpu) / (bench::now_seconds() - wall));
  bench::report_pacing("pacing_only", stamps);
  EndGraphics();
  SetDisplay(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t flips = bench::quick(argc, argv) ? 600 : 3600;
  InstallDefaultGraphicsDriver();
  if (!OpenGraphics(640, 480, 0, 60, GFX_BACK_BUFFER)) {
    std::fprintf(stderr, "render: no OpenGL window (run under tools/with-xvfb.sh)\n");
    return 1;
  }
  std::vector<double> stamps;
  stamps.reserve(static_cast<size_t>(flips) + 1);
  Flip(-1);
  stamps.push_back(bench::now_seconds());
  for (int32_t i = 0; i < flips; ++i) {
    bench::spin_for(0.004);
    Flip(-1);
    stamps.push_back(bench::now_seconds());
  }
  bench::report_pacing("pacing", stamps);
  EndGraphics();
  MeasurePacingCpu(bench::quick(argc, argv) ? 120 : 600);
  return 0;
}
