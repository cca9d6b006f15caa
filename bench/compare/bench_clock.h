#pragma once
// Clocks and summaries shared by the side-by-side measurement programs. Each program
// prints its figures as "key value" lines on stdout; bench/run.sh collects them.

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace bench {

inline double seconds_of(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}
// Wall time on the monotonic clock.
inline double now_seconds() {
  return seconds_of(CLOCK_MONOTONIC);
}
// CPU time of the calling thread: on a shared machine wall time overstates a cost.
inline double thread_cpu_seconds() {
  return seconds_of(CLOCK_THREAD_CPUTIME_ID);
}

// The p-th percentile (0..100) of values, nearest rank; 0 for none.
inline double percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  size_t rank = static_cast<size_t>(p / 100.0 * static_cast<double>(values.size()));
  if (rank >= values.size()) rank = values.size() - 1;
  return values[rank];
}

// The median over repeats of the wall time of one call of work, in seconds.
template <typename Work>
double median_seconds(int32_t repeats, Work&& work) {
  std::vector<double> times;
  for (int32_t i = 0; i < repeats; ++i) {
    const double start = now_seconds();
    work();
    times.push_back(now_seconds() - start);
  }
  return percentile(times, 50.0);
}

inline void report(const char* key, double value) {
  std::printf("%s %.6g\n", key, value);
}

// --quick anywhere among the arguments.
inline bool quick(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--quick") == 0) return true;
  return false;
}

// Busy work for a given time, standing in for a frame's game logic and drawing.
inline void spin_for(double seconds) {
  const double end = now_seconds() + seconds;
  while (now_seconds() < end) {
  }
}

}  // namespace bench
