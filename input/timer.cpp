// Periodic timers over SDL's timer thread. The timer thread only pushes an SDL user event
// carrying the timer's handle; the tick is counted when the main thread pumps that event.

#include "input/timer.h"

#include <SDL.h>

#include <cmath>
#include <cstdio>

#include "input/internal.h"
#include "support/truncate.h"

namespace {

constexpr int32_t kMaxTimers = 16;

struct RegisteredTimer {
  int32_t handle;
  SDL_TimerID system_id;
  TTimer* timer;
};

// Packed: the first count entries are in use.
struct TimerRegistry {
  RegisteredTimer entries[kMaxTimers];
  int32_t count = 0;
  int32_t last_handle = 0;
};

TimerRegistry& Registry() {
  static TimerRegistry registry;
  return registry;
}

// Runs on SDL's timer thread: touches nothing but SDL's thread-safe queue.
Uint32 PostTick(Uint32 interval, void* param) {
  SDL_Event event{};
  event.type = TimerTickEventType();
  event.user.code = static_cast<Sint32>(reinterpret_cast<intptr_t>(param));
  SDL_PushEvent(&event);
  return interval;
}

bool StartSdlTimers() {
  static bool started = false;
  if (started) return true;
  if (SDL_InitSubSystem(SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) {
    std::fprintf(stderr, "input: timers unavailable: %s\n", SDL_GetError());
    return false;
  }
  TimerTickEventType();  // registered here, on the main thread, before any tick is pushed
  started = true;
  return true;
}

}  // namespace

uint32_t TimerTickEventType() {
  static const uint32_t type = SDL_RegisterEvents(1);
  return type;
}

void RunTimerTick(int32_t handle) {
  TimerRegistry& registry = Registry();
  for (int32_t i = 0; i < registry.count; ++i) {
    if (registry.entries[i].handle == handle) {
      // Keep the timer alive through Fire even if a hook stops and drops it.
      std::shared_ptr<TTimer> timer = registry.entries[i].timer->_cycle;
      if (timer) timer->Fire();
      return;
    }
  }
}

std::shared_ptr<TTimer> TTimer::Create(float hertz, std::shared_ptr<TEvent> event) {
  TimerRegistry& registry = Registry();
  if (registry.count >= kMaxTimers) return nullptr;
  if (!(hertz > 0.0f)) return nullptr;
  int32_t period = TruncateToInt(1000.0 / static_cast<double>(hertz));
  if (period < 1) return nullptr;  // finer than the clock can tick
  if (!StartSdlTimers()) return nullptr;

  int32_t handle = ++registry.last_handle;
  if (handle <= 0) handle = registry.last_handle = 1;
  SDL_TimerID system_id = SDL_AddTimer(static_cast<Uint32>(period), PostTick,
                                       reinterpret_cast<void*>(static_cast<intptr_t>(handle)));
  if (system_id == 0) return nullptr;

  auto timer = std::make_shared<TTimer>();
  timer->period_millis_ = period;
  timer->_handle = handle;
  timer->_event = std::move(event);
  timer->_cycle = timer;
  registry.entries[registry.count++] = RegisteredTimer{handle, system_id, timer.get()};
  return timer;
}

TTimer::~TTimer() {
  Stop();
}

void TTimer::Fire() {
  if (_handle == 0) return;
  ++_ticks;
  if (_event) {
    _event->Emit();
  } else {
    auto self = std::static_pointer_cast<TTimer>(shared_from_this());
    EmitEvent(TEvent::Create(EVENT_TIMERTICK, self, _ticks));
  }
}

int32_t TTimer::Wait() {
  if (_handle == 0) return 0;
  while (_ticks == _wticks) {
    WaitForEvents();
    if (_handle == 0) return 0;  // stopped by a hook while waiting
  }
  int32_t elapsed = _ticks - _wticks;
  _wticks += elapsed;
  return elapsed;
}

void TTimer::Stop() {
  if (_handle == 0) return;
  TimerRegistry& registry = Registry();
  for (int32_t i = 0; i < registry.count; ++i) {
    if (registry.entries[i].handle == _handle) {
      SDL_RemoveTimer(registry.entries[i].system_id);
      registry.entries[i] = registry.entries[--registry.count];
      break;
    }
  }
  _handle = 0;
  _event = nullptr;
  // Last: this may release the final reference to the timer itself.
  std::shared_ptr<TTimer> keep_alive_until_return = std::move(_cycle);
}

std::shared_ptr<TTimer> StartTimer(float hertz, std::shared_ptr<TEvent> event) {
  return TTimer::Create(hertz, std::move(event));
}

int32_t TimerTickCount(const std::shared_ptr<TTimer>& timer) {
  return timer ? timer->Ticks() : 0;
}

int32_t WaitForTick(const std::shared_ptr<TTimer>& timer) {
  return timer ? timer->Wait() : 0;
}

void CancelTimer(const std::shared_ptr<TTimer>& timer) {
  if (timer) timer->Stop();
}
