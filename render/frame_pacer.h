#pragma once
// How Flip(-1) keeps the opened rate on the graphics made by OpenGraphics: by the display's
// swap interval where the display flips at that rate (or a whole multiple of it), otherwise
// by sleeping to a fixed schedule. The choice comes from a probe of the display when the
// graphics open and again after every display or mode change, and a display that paces is
// watched for as long as the graphics stay open. Internal to the graphics module; game
// thread only.

#include <array>
#include <cstdint>

#include "render/display.h"
#include "render/graphics.h"

// Finds the period that flips with sync 1 block for, from the times between their returns.
class TPacingProbe {
 public:
  // Adds the time between the returns of two flips in a row; true once the answer is known.
  bool Add(int64_t interval);
  // The steady period the flips blocked for; 0 when they did not block.
  int64_t Period() const { return period_; }

 private:
  static constexpr size_t kSteadySamples = 4;
  std::array<int64_t, kSteadySamples> recent_{};
  size_t count_ = 0;  // blocking intervals in a row, the last kSteadySamples in recent_
  int32_t unblocked_ = 0;
  int64_t period_ = 0;
};

class TFramePacer {
 public:
  // Sets up pacing for graphics just opened at hertz (0: no pacing); a full-screen display
  // that can be paced against is probed now, with flips of the cleared page.
  void Open(TDisplay& display, TGraphicsDriver& driver, int32_t hertz, bool full_screen);
  // Presents one frame at the opened rate.
  void Flip(TDisplay& display, TGraphicsDriver& driver);
  // The display or its mode changed: the display is probed again over the next frames,
  // which are presented as they are measured.
  void DisplayChanged();
  TFramePacing Pacing() const { return {software_, swap_interval_, adaptive_}; }

 private:
  void Choose(TDisplay& display, TGraphicsDriver& driver, int64_t blocked_period);
  void FlipWithDisplay(TDisplay& display, TGraphicsDriver& driver);
  void FlipOnSchedule(TDisplay& display, TGraphicsDriver& driver);
  // One frame of a probe after a display change: presented with sync 1, and measured where
  // its time shows the display's period.
  void FlipProbing(TDisplay& display, TGraphicsDriver& driver);
  void HandToSoftware(TDisplay& display, TGraphicsDriver& driver, int64_t now);

  int32_t hertz_ = 0;
  bool probed_ = false;  // full screen on a display that can be paced against
  bool software_ = false;
  int32_t swap_interval_ = 0;
  bool adaptive_ = false;
  // Time between the display's blanks, where known: a frame whose blank has gone by is late.
  int64_t blank_ns_ = 0;
  double display_hz_ = 0.0;

  // The fixed schedule of software pacing, in nanoseconds of the display's clock.
  int64_t deadline_ = 0;
  int64_t period_ns_ = 0;
  int64_t remainder_ns_ = 0;  // nanoseconds left over per second
  int64_t accumulator_ns_ = 0;

  // When the last flip returned.
  int64_t last_flip_ = 0;
  // While the display paces: flips in a row that came well inside the period.
  int32_t fast_flips_ = 0;

  bool probe_pending_ = false;
  bool probe_previous_ = false;  // the last flip was a probe flip, so the next gives a sample
  int32_t probe_flips_ = 0;
  int32_t unmeasured_flips_ = 0;  // heavy frames in a row whose flips did not show the period
  TPacingProbe probe_;
};
