// Peer: a bare clock_nanosleep loop on the same 60 Hz schedule as our paced flip (absolute
// deadlines 16.667 ms apart), with the same 4 ms of busy work per frame; then the CPU time
// the same loop takes with no work at all, and its precision.

#include <time.h>

#include <vector>

#include "bench/compare/pacing_stats.h"

namespace {

constexpr int64_t kPeriodNs = 1000000000 / 60;
constexpr int64_t kRemainderNs = 1000000000 % 60;  // spread over each second's frames

void SleepToNext(timespec& next, int32_t frame) {
  next.tv_nsec += kPeriodNs + ((frame + 1) % 60 < kRemainderNs ? 1 : 0);
  if (next.tv_nsec >= 1000000000) {
    next.tv_nsec -= 1000000000;
    ++next.tv_sec;
  }
  clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t flips = bench::quick(argc, argv) ? 600 : 3600;
  timespec next{};
  clock_gettime(CLOCK_MONOTONIC, &next);
  std::vector<double> stamps;
  stamps.reserve(static_cast<size_t>(flips) + 1);
  stamps.push_back(bench::now_seconds());
  for (int32_t i = 0; i < flips; ++i) {
    bench::spin_for(0.004);
    SleepToNext(next, i);
    stamps.push_back(bench::now_seconds());
  }
  bench::report_pacing("bare_pacing", stamps);

  const int32_t idle = bench::quick(argc, argv) ? 120 : 600;
  clock_gettime(CLOCK_MONOTONIC, &next);
  stamps.clear();
  const double wall = bench::now_seconds();
  const double cpu = bench::thread_cpu_seconds();
  stamps.push_back(wall);
  for (int32_t i = 0; i < idle; ++i) {
    SleepToNext(next, i);
    stamps.push_back(bench::now_seconds());
  }
  bench::report("bare_pacing_cpu_percent",
                100.0 * (bench::thread_cpu_seconds() - cpu) / (bench::now_seconds() - wall));
  bench::report_pacing("bare_pacing_only", stamps);
  return 0;
}
