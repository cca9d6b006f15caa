#pragma once
// What paced flips are timed against: a monotonic clock to sleep on and the screen the pages
// are shown on. The real display reads CLOCK_MONOTONIC and presents through the graphics
// driver; tests and the benchmark install a simulated one (render/simulated_display.h) so
// that any refresh rate can be had without the hardware. Game thread only.

#include <cstdint>
#include <memory>

class TGraphicsDriver;

class TDisplay {
 public:
  virtual ~TDisplay() = default;
  // Monotonic time in nanoseconds.
  virtual int64_t Now() = 0;
  // Returns at or just after deadline (a Now value), sleeping rather than spinning.
  virtual void SleepUntil(int64_t deadline) = 0;
  // Presents the back buffer through driver. sync 0: at once; n > 0: at the n-th vertical
  // blank after the previous present; -1: like 1, but at once if that blank has passed.
  virtual void Flip(TGraphicsDriver& driver, int32_t sync) = 0;
  // The refresh rate the screen reports in hertz; 0 when unknown or not synchronised.
  virtual double RefreshRate(TGraphicsDriver& driver) = 0;
  // Whether Flip(-1) is offered (adaptive synchronisation).
  virtual bool AdaptiveSync(TGraphicsDriver& driver) = 0;
  // True when there is nothing to pace against: no probe, and Flip never sleeps.
  virtual bool Unpaced(TGraphicsDriver& driver) = 0;
};

// Installs the display flips are timed against and presented on; nullptr restores the real
// one. Install it before OpenGraphics, which chooses how to pace by probing it.
void SetDisplay(std::shared_ptr<TDisplay> display);
TDisplay& CurrentDisplay();

// Sleeps to an absolute deadline on the monotonic clock (nanoseconds), waking early by the wake-up
// lateness most recent sleeps have shown and spinning only that last stretch.
class TPreciseSleeper {
 public:
  static int64_t Now();
  void SleepUntil(int64_t deadline);
  // How early the next sleep wakes, in nanoseconds.
  int64_t Margin() const { return margin_; }

 private:
  // Sleeps until about the instant wake on Now()'s clock; one implementation per system
  // (precise_sleep_posix.cpp, precise_sleep_windows.cpp).
  static void SleepToward(int64_t wake);

  int64_t margin_ = 100000;
};
