// Our paced page flip: 3,600 frames (600 with --quick) of 4 ms busy work followed by
// Flip(-1) on a 640 x 480 window at 60 Hz, timestamped right after each flip.

#include <vector>

#include "bench/compare/pacing_stats.h"
#include "render/graphics.h"

int main(int argc, char** argv) {
  const int32_t flips = bench::quick(argc, argv) ? 600 : 3600;
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
  return 0;
}
