// The browser's clock and sleep. A sleep gives the browser its turn (the program is built
// with ASYNCIFY): blocking the page's only thread would freeze it.

#include <emscripten.h>

#include <cstdint>

#include "input/event.h"

int32_t ClockMillis() {
  const auto millis = static_cast<uint64_t>(emscripten_get_now());
  return static_cast<int32_t>(static_cast<uint32_t>(millis));
}

void SleepMillis(int32_t ms) {
  if (ms <= 0) return;
  emscripten_sleep(static_cast<unsigned>(ms));
}
