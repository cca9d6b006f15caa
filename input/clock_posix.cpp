#include <cerrno>
#include <ctime>

#include "input/event.h"

int32_t ClockMillis() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t millis =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<int32_t>(static_cast<uint32_t>(millis));
}

void SleepMillis(int32_t ms) {
  if (ms <= 0) return;
  timespec remaining{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  // A signal (Ctrl+C becoming a close request) must not cut the sleep short.
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}
