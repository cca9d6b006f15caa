#pragma once
// Periodic timers. The ticks are counted on the main thread only while it pumps
// (PumpEvents / WaitForEvents): the timer thread merely posts a message. Main thread only.

#include <cstdint>
#include <memory>

#include "input/event.h"

class TTimer : public TObject {
 public:
  int32_t _ticks = 0;              // ticks fired so far
  int32_t _wticks = 0;             // the tick count the last Wait consumed
  std::shared_ptr<TTimer> _cycle;  // itself while running, so an unreferenced timer keeps going
  std::shared_ptr<TEvent> _event;  // emitted on each tick; null emits a fresh TimerTick (2049)
  int32_t _handle = 0;             // the system timer id; 0 when stopped

  // Starts a timer with period 1000 / hertz ms (truncated). Null when 16 timers are
  // running or the period is below 1 ms (hertz above 1000, zero, negative or NaN).
  static std::shared_ptr<TTimer> Create(float hertz, std::shared_ptr<TEvent> event = nullptr);
  int32_t Ticks() const { return _ticks; }
  // Pumps until at least one tick has fired since the last Wait; returns how many did
  // (more than 1 means ticks were missed). 0 at once for a stopped timer.
  int32_t Wait();
  // Kills the system timer; ticks still in flight are ignored. Safe to call twice.
  void Stop();
  // Counts one tick and emits its event. Called by the pump, not by users.
  void Fire();
  // The period in milliseconds chosen at Create.
  int32_t PeriodMillis() const { return period_millis_; }

  ~TTimer() override;

 private:
  int32_t period_millis_ = 0;
};

std::shared_ptr<TTimer> StartTimer(float hertz, std::shared_ptr<TEvent> event = nullptr);
int32_t TimerTickCount(const std::shared_ptr<TTimer>& timer);  // 0 for null
int32_t WaitForTick(const std::shared_ptr<TTimer>& timer);     // 0 for null
void CancelTimer(const std::shared_ptr<TTimer>& timer);        // nothing for null
