#include <windows.h>

#include "input/event.h"

int32_t ClockMillis() {
  LARGE_INTEGER counter{};
  LARGE_INTEGER frequency{};
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  const uint64_t ticks = static_cast<uint64_t>(counter.QuadPart);
  const uint64_t per_second = static_cast<uint64_t>(frequency.QuadPart);
  const uint64_t millis = ticks / per_second * 1000u + ticks % per_second * 1000u / per_second;
  return static_cast<int32_t>(static_cast<uint32_t>(millis));
}

void SleepMillis(int32_t ms) {
  if (ms <= 0) return;
  Sleep(static_cast<DWORD>(ms));
}
