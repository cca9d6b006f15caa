#include <time.h>

#include <cerrno>

#include "render/display.h"

namespace {
constexpr int64_t kNanosPerSecond = 1000000000;
}  // namespace

int64_t TPreciseSleeper::Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * kNanosPerSecond + now.tv_nsec;
}

void TPreciseSleeper::SleepToward(int64_t wake) {
  const timespec until{static_cast<time_t>(wake / kNanosPerSecond),
                       static_cast<long>(wake % kNanosPerSecond)};
  // Interrupted by a signal: sleep on to the same instant.
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
  }
}
