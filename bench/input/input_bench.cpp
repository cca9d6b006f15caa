// The per-frame cost of the input path: a pumping query, an event through the hook
// chain, and a joystick read. Run with SDL_VIDEODRIVER=dummy; no device is needed.

#include <benchmark/benchmark.h>

#include <SDL.h>

#include "input/input.h"
#include "input/system.h"

namespace {

void BM_KeyHitsWithEmptyPump(benchmark::State& state) {
  SetSystemDriver(nullptr);
  EnableInputPolling();
  for (auto _ : state) benchmark::DoNotOptimize(KeyHits(32));
  DisableInputPolling();
}
BENCHMARK(BM_KeyHitsWithEmptyPump);

void BM_EmitKeyThroughHooks(benchmark::State& state) {
  SetSystemDriver(nullptr);
  EnableInputPolling();
  auto down = TEvent::Create(EVENT_KEYDOWN, nullptr, 37);
  auto up = TEvent::Create(EVENT_KEYUP, nullptr, 37);
  for (auto _ : state) {
    down->Emit();
    up->Emit();
    FlushEvents();
  }
  DisableInputPolling();
}
BENCHMARK(BM_EmitKeyThroughHooks);

void BM_JoyAxisXOnVirtualPad(benchmark::State& state) {
  SetSystemDriver(nullptr);
  SystemDriver();
  int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 16, 0);
  if (index < 0 || JoystickCount() == 0) {
    state.SkipWithError("no virtual joystick");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(JoyAxisX(0));
  PumpEvents();
  SDL_JoystickDetachVirtual(index);
}
BENCHMARK(BM_JoyAxisXOnVirtualPad);

}  // namespace
