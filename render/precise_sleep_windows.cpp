#include <windows.h>

#include "render/display.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {

int64_t CounterFrequency() {
  static const int64_t frequency = [] {
    LARGE_INTEGER value{};
    QueryPerformanceFrequency(&value);
    return static_cast<int64_t>(value.QuadPart);
  }();
  return frequency;
}

// A high-resolution waitable timer where Windows offers one (10, version 1803 on), else a
// plain one, which wakes on the 1 ms timer resolution the system driver asks for.
HANDLE ThreadTimer() {
  static thread_local HANDLE timer = [] {
    HANDLE made = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                         TIMER_ALL_ACCESS);
    if (made == nullptr) made = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    return made;
  }();
  return timer;
}

}  // namespace

int64_t TPreciseSleeper::Now() {
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  const int64_t frequency = CounterFrequency();
  const int64_t ticks = static_cast<int64_t>(counter.QuadPart);
  // Split so the product cannot overflow however long the machine has been up.
  return ticks / frequency * 1000000000LL + ticks % frequency * 1000000000LL / frequency;
}

void TPreciseSleeper::SleepToward(int64_t wake) {
  const int64_t remaining = wake - Now();
  if (remaining <= 0) return;
  HANDLE timer = ThreadTimer();
  // Relative due times are negative, in 100 ns units.
  LARGE_INTEGER due{};
  due.QuadPart = -(remaining / 100);
  if (timer != nullptr && SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
    WaitForSingleObject(timer, INFINITE);
  } else {
    Sleep(static_cast<DWORD>(remaining / 1000000));
  }
}
