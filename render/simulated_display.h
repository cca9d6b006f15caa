#pragma once
// A display that exists only in time: a virtual clock that sleeping advances, and vertical
// blanks at a fixed rate that flips with sync wait for. Pages are presented through the
// graphics driver as usual (the headless one, normally), with sync 0. For tests and the
// benchmark: every figure is exact, whatever the load on the machine.
//
//   auto display = std::make_shared<TSimulatedDisplay>(144.0);
//   SetDisplay(display);
//   SetGraphicsDriver(HeadlessGraphicsDriver());
//   OpenGraphics(640, 480, 32, 60, 0);

#include <cstdint>

#include "render/display.h"

class TSimulatedDisplay : public TDisplay {
 public:
  // refresh_hz 0: a screen that does not synchronise (flips present at once, never tear).
  // adaptive: whether Flip(-1) is offered. max_interval: the largest swap interval the
  // display honours (larger ones act as this).
  explicit TSimulatedDisplay(double refresh_hz, bool adaptive = false, int32_t max_interval = 1000);

  int64_t Now() override { return now_; }
  void SleepUntil(int64_t deadline) override;
  void Flip(TGraphicsDriver& driver, int32_t sync) override;
  double RefreshRate(TGraphicsDriver& driver) override;
  bool AdaptiveSync(TGraphicsDriver& driver) override;
  bool Unpaced(TGraphicsDriver& driver) override;

  // Moves the clock on, as work done between flips would.
  void Advance(int64_t nanos) { now_ += nanos; }
  // Pages presented so far, and how many of them were shown between two vertical blanks of
  // a screen that synchronises (torn).
  int64_t Presents() const { return presents_; }
  int64_t TornFlips() const { return torn_; }
  // When the last page was presented.
  int64_t LastPresent() const { return last_present_; }

 private:
  // Time of vertical blank number index, and the first one at or after time.
  int64_t Blank(int64_t index) const;
  int64_t FirstBlankFrom(int64_t time) const;
  void PresentAt(int64_t time, bool torn);

  double refresh_hz_;
  bool adaptive_;
  int32_t max_interval_;
  int64_t now_ = 1000000000;  // not 0, so no caller mistakes it for "never"
  int64_t last_blank_ = -1;   // index of the blank of the last synchronised present
  int64_t last_present_ = 0;
  int64_t presents_ = 0;
  int64_t torn_ = 0;
};
