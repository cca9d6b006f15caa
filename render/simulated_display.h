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
//   TSimulatedRun run = RunSimulatedFrames(*display, 10 * kNanosPerSecond, {4000000});

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "render/display.h"

class TSimulatedDisplay : public TDisplay {
 public:
  // refresh_hz 0: a screen that does not synchronise (flips present at once, never tear).
  // adaptive: whether Flip(-1) is offered. max_interval: the largest swap interval the
  // display honours (larger ones act as this). queue_depth: how many presented pages may
  // wait for their blank before a flip blocks (0: every synchronised flip returns at its
  // blank; compositors and triple buffering hold 1 to 3).
  explicit TSimulatedDisplay(double refresh_hz, bool adaptive = false, int32_t max_interval = 1000,
                             int32_t queue_depth = 0);

  int64_t Now() override { return now_; }
  void SleepUntil(int64_t deadline) override;
  void Flip(TGraphicsDriver& driver, int32_t sync) override;
  double RefreshRate(TGraphicsDriver& driver) override;
  bool AdaptiveSync(TGraphicsDriver& driver) override;
  bool Unpaced(TGraphicsDriver& driver) override;

  // Moves the clock on, as work done between flips would.
  void Advance(int64_t nanos) { now_ += nanos; }
  // A new refresh rate from now on, as after a mode change or a move to another screen:
  // blanks start again at the new rate once the pages already queued are shown.
  void SetRefreshRate(double refresh_hz);
  double Refresh() const { return refresh_hz_; }
  // false: flips stop waiting for anything and nothing is shown (a hidden window that keeps
  // the focus); true: they wait for blanks again.
  void SetBlocking(bool blocking);

  // Pages presented so far, and how many of them were shown between two vertical blanks of
  // a screen that synchronises (torn).
  int64_t Presents() const { return presents_; }
  int64_t TornFlips() const { return torn_; }
  // When the last page was (or, queued, will be) presented.
  int64_t LastPresent() const { return last_present_; }

 private:
  // Time of vertical blank number index (counted from origin_), and the first one at or
  // after time.
  int64_t Blank(int64_t index) const;
  int64_t FirstBlankFrom(int64_t time) const;
  void PresentAt(int64_t time, bool torn);

  double refresh_hz_;
  bool adaptive_;
  int32_t max_interval_;
  int32_t queue_depth_;
  bool blocking_ = true;
  int64_t now_ = 1000000000;  // not 0, so no caller mistakes it for "never"
  int64_t origin_ = 0;        // blank 0 of the current rate
  int64_t last_blank_ = -1;   // index of the blank of the last synchronised present
  int64_t last_present_ = 0;
  int64_t presents_ = 0;
  int64_t torn_ = 0;
  std::deque<int64_t> queued_;  // present times of pages not yet shown, in order
};

// What a player of RunSimulatedFrames would have seen.
struct TSimulatedRun {
  int64_t updates = 0;               // frames presented within the span
  int64_t torn = 0;                  // torn flips among all frames run
  std::vector<double> intervals_ms;  // between consecutive presented frames
  double cpu_seconds = 0.0;          // thread CPU time spent inside Flip
};

// Runs game frames for span nanoseconds of the display's clock, starting with one settling
// Flip(-1): each frame does work[i % work.size()] nanoseconds of work, then Flip(-1).
// before_frame, if given, is called with the frame number and the time elapsed since the
// start before each frame's work (to change the display in the middle of a run).
TSimulatedRun RunSimulatedFrames(TSimulatedDisplay& display, int64_t span,
                                 const std::vector<int64_t>& work,
                                 const std::function<void(int64_t, int64_t)>& before_frame = {});
