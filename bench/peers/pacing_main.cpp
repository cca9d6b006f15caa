// Peer: a bare clock_nanosleep loop on the same 60 Hz schedule as our paced flip (absolute
// deadlines 16.667 ms apart), with the same 4 ms of busy work per frame.

#include <time.h>

#include <vector>

#include "bench/compare/pacing_stats.h"

int main(int argc, char** argv) {
  const int32_t flips = bench::quick(argc, argv) ? 600 : 3600;
  constexpr int64_t kPeriodNs = 1000000000 / 60;
  constexpr int64_t kRemainderNs = 1000000000 % 60;  // spread over each second's frames
  timespec next{};
  clock_gettime(CLOCK_MONOTONIC, &next);
  std::vector<double> stamps;
  stamps.reserve(static_cast<size_t>(flips) + 1);
  stamps.push_back(bench::now_seconds());
  for (int32_t i = 0; i < flips; ++i) {
    bench::spin_for(0.004);
    next.tv_nsec += kPeriodNs + ((i + 1) % 60 < kRemainderNs ? 1 : 0);
    if (next.tv_nsec >= 1000000000) {
      next.tv_nsec -= 1000000000;
      ++next.tv_sec;
    }
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    stamps.push_back(bench::now_seconds());
  }
  bench::report_pacing("bare_pacing", stamps);
  return 0;
}
