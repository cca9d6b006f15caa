#include "render/frame_pacer.h"

#include <cmath>
#include <numeric>

namespace {

constexpr int64_t kNanosPerSecond = 1000000000;
constexpr int64_t kNanosPerMilli = 1000000;
// Flips shorter than this only copied the page and did not wait for anything.
constexpr int64_t kUnblockedFlip = 2 * kNanosPerMilli;
// Flips in a row that return at once before the probe decides the display does not block:
// more than a queue of three pages lets return at once before it fills.
constexpr int32_t kUnblockedFlipsToStop = 5;
// A display within this fraction of the rate (or of a whole multiple of it) runs the game
// at its own rate: 59.94 Hz does, 62 Hz does not.
constexpr double kNearRate = 0.01;
// A probe after a display change gives up after this many flips; and sooner, after this
// many heavy frames in a row whose flips could not be measured (each one shown at a rate of
// its own until the probe ends).
constexpr int32_t kMaxProbeFlips = 30;
constexpr int32_t kUnmeasuredFlipsToStop = 5;
// While the display paces, this many flips in a row well inside the period hand pacing to
// software: more than return at once from a queue of three pages that drained during a
// long frame, before the display paces them again.
constexpr int32_t kFastFlipsToHandOver = 5;

// Whether interval is one refresh of a display reporting refresh_hz (0: unknown).
bool OneRefreshOf(double refresh_hz, int64_t interval) {
  if (refresh_hz <= 0.0) return false;
  const double refresh = static_cast<double>(kNanosPerSecond) / refresh_hz;
  return std::fabs(static_cast<double>(interval) - refresh) * 10.0 <= refresh;
}

}  // namespace

bool TPacingProbe::Add(int64_t interval) {
  if (interval < kUnblockedFlip) {
    count_ = 0;
    return ++unblocked_ == kUnblockedFlipsToStop;
  }
  unblocked_ = 0;
  recent_[count_++ % kSteadySamples] = interval;
  if (count_ < kSteadySamples) return false;
  const int64_t mean =
      std::accumulate(recent_.begin(), recent_.end(), int64_t{0}) / int64_t{kSteadySamples};
  for (int64_t sample : recent_) {
    if (std::llabs(sample - mean) * 10 > mean) return false;
  }
  period_ = mean;
  return true;
}

void TFramePacer::Open(TDisplay& display, TGraphicsDriver& driver, int32_t hertz,
                       bool full_screen) {
  hertz_ = hertz;
  period_ns_ = hertz > 0 ? kNanosPerSecond / hertz : 0;
  remainder_ns_ = kNanosPerSecond - period_ns_ * hertz;
  accumulator_ns_ = 0;
  probed_ = false;
  probe_pending_ = false;
  software_ = false;
  swap_interval_ = full_screen ? 1 : 0;
  adaptive_ = false;
  blank_ns_ = 0;
  display_hz_ = 0.0;
  fast_flips_ = 0;
  if (hertz > 0 && !display.Unpaced(driver)) {
    if (full_screen) {
      probed_ = true;
      // Flips of the cleared page, back to back, for at most a second.
      TPacingProbe probe;
      bool known = false;
      const int64_t start = display.Now();
      while (!known && display.Now() - start < kNanosPerSecond) {
        const int64_t before = display.Now();
        display.Flip(driver, 1);
        known = probe.Add(display.Now() - before);
      }
      Choose(display, driver, known ? probe.Period() : 0);
    } else {
      software_ = true;
    }
  }
  deadline_ = display.Now();
  last_flip_ = deadline_;
}

void TFramePacer::DisplayChanged() {
  if (!probed_) return;
  probe_pending_ = true;
  probe_previous_ = false;
  probe_flips_ = 0;
  unmeasured_flips_ = 0;
  probe_ = TPacingProbe();
}

void TFramePacer::Choose(TDisplay& display, TGraphicsDriver& driver, int64_t blocked_period) {
  const double reported = display.RefreshRate(driver);
  const double blocked_hz =
      blocked_period > 0 ? static_cast<double>(kNanosPerSecond) / blocked_period : 0.0;
  const double hertz = hertz_;
  software_ = true;
  swap_interval_ = 0;
  blank_ns_ = 0;
  fast_flips_ = 0;
  if (blocked_hz > 0.0 && std::fabs(blocked_hz - hertz) <= kNearRate * hertz) {
    // The display flips at the rate by itself.
    software_ = false;
    swap_interval_ = 1;
    blank_ns_ = blocked_period;
  } else if (reported > 0.0 && blocked_hz > 0.0) {
    // A display at a whole multiple of the rate shows every frame for the same number of
    // refreshes; the flips must really block at that refresh, or nothing would pace them.
    const double multiple = std::round(reported / hertz);
    if (multiple >= 2.0 && std::fabs(reported - multiple * hertz) <= kNearRate * multiple * hertz &&
        std::fabs(blocked_hz - reported) <= 0.1 * reported) {
      software_ = false;
      swap_interval_ = static_cast<int32_t>(multiple);
      blank_ns_ = static_cast<int64_t>(kNanosPerSecond / reported);
    }
  }
  display_hz_ = reported > 0.0 ? reported : blocked_hz;
  if (software_ && display_hz_ > 0.0) {
    blank_ns_ = static_cast<int64_t>(kNanosPerSecond / display_hz_);
    // Each frame waits for the first blank after its deadline, so none tears; a display
    // slower than the rate has too few blanks for that, and frames go out at once.
    if (display_hz_ >= (1.0 - kNearRate) * hertz) swap_interval_ = 1;
  }
  adaptive_ = swap_interval_ != 0 && display.AdaptiveSync(driver);
}

void TFramePacer::HandToSoftware(TDisplay& display, TGraphicsDriver& driver, int64_t now) {
  // The flips were not paced after all, so a rate they only seemed to block at is not the
  // display's: what the display reports (if anything) is all there is to wait for.
  display_hz_ = display.RefreshRate(driver);
  software_ = true;
  swap_interval_ = display_hz_ >= (1.0 - kNearRate) * hertz_ ? 1 : 0;
  adaptive_ = swap_interval_ != 0 && display.AdaptiveSync(driver);
  blank_ns_ = display_hz_ > 0.0 ? static_cast<int64_t>(kNanosPerSecond / display_hz_) : 0;
  deadline_ = now;
  accumulator_ns_ = 0;
}

void TFramePacer::Flip(TDisplay& display, TGraphicsDriver& driver) {
  if (probe_pending_) {
    FlipProbing(display, driver);
    return;
  }
  if (software_) {
    FlipOnSchedule(display, driver);
  } else {
    FlipWithDisplay(display, driver);
  }
}

void TFramePacer::FlipProbing(TDisplay& display, TGraphicsDriver& driver) {
  const int64_t before = display.Now();
  // A frame whose work took half a period or more can miss blanks, so the time between its
  // flips may span several refreshes and hide the display's rate.
  const bool heavy = before - last_flip_ >= period_ns_ / 2;
  display.Flip(driver, 1);
  const int64_t now = display.Now();
  // The time between flips includes the frame's work; a flip that hardly waited says the
  // display does not block (or not for long enough to time), whatever that time was.
  const int64_t waited = now - before;
  const int64_t interval = now - last_flip_;
  bool known = false;
  if (probe_previous_) {
    if (!heavy) {
      known = probe_.Add(waited < kUnblockedFlip ? waited : interval);
      unmeasured_flips_ = 0;
    } else if (waited >= kUnblockedFlip && OneRefreshOf(display.RefreshRate(driver), interval)) {
      // A heavy frame whose flip waited for the very next blank of the rate the display
      // reports: its interval is the display's period after all. (One that returned at once
      // went to a queue, or just caught its blank: it shows nothing.)
      known = probe_.Add(interval);
      unmeasured_flips_ = 0;
    } else {
      ++unmeasured_flips_;
    }
  }
  probe_previous_ = true;
  last_flip_ = now;
  // Every probe flip counts toward giving up, measured or not: frames that stay heavy must
  // not leave the old display's choice in place for good.
  ++probe_flips_;
  if (known || probe_flips_ >= kMaxProbeFlips || unmeasured_flips_ >= kUnmeasuredFlipsToStop) {
    probe_pending_ = false;
    // Not measured: the rate the display reports decides, with software keeping time.
    Choose(display, driver, known ? probe_.Period() : 0);
    deadline_ = now;
    accumulator_ns_ = 0;
  }
}

void TFramePacer::FlipWithDisplay(TDisplay& display, TGraphicsDriver& driver) {
  if (blank_ns_ == 0) {
    // Nothing to pace against (no rate, or a driver that shows nothing).
    display.Flip(driver, swap_interval_);
    last_flip_ = display.Now();
    return;
  }
  const int64_t now = display.Now();
  // The blank this frame was due at has gone by: waiting for the next would show it a whole
  // refresh late and halve the game's speed, so it goes out at once, adaptively where the
  // display offers that. On time, an adaptive flip waits for the blank like any other.
  const bool late = now - last_flip_ > swap_interval_ * blank_ns_;
  int32_t sync = swap_interval_;
  if (adaptive_ && (late || swap_interval_ == 1)) {
    sync = -1;
  } else if (late) {
    sync = 0;
  }
  display.Flip(driver, sync);
  const int64_t after = display.Now();
  // Flips that keep returning well inside the period are not being paced: the display
  // stopped blocking (a hidden window, another compositor), a driver set no interval above
  // 1, or a busy machine made an unsynchronised screen look paced to the probe.
  fast_flips_ = after - last_flip_ < period_ns_ * 3 / 4 ? fast_flips_ + 1 : 0;
  last_flip_ = after;
  if (fast_flips_ >= kFastFlipsToHandOver) HandToSoftware(display, driver, after);
}

void TFramePacer::FlipOnSchedule(TDisplay& display, TGraphicsDriver& driver) {
  deadline_ += period_ns_;
  accumulator_ns_ += remainder_ns_;
  if (accumulator_ns_ >= hertz_) {
    accumulator_ns_ -= hertz_;
    deadline_ += 1;
  }
  const int64_t now = display.Now();
  if (deadline_ > now) {
    display.SleepUntil(deadline_);
    display.Flip(driver, swap_interval_);
  } else if (swap_interval_ != 0 && blank_ns_ > 0 && now - last_flip_ <= blank_ns_) {
    // Late only because the last flip waited for its blank: the next blank still shows this
    // frame in turn, and the schedule holds.
    display.Flip(driver, swap_interval_);
  } else {
    // A late frame gets a full period next, not a burst of catch-up; and as its blank has
    // gone by it goes out at once rather than a whole refresh later.
    deadline_ = now;
    display.Flip(driver, swap_interval_ == 0 ? 0 : (adaptive_ ? -1 : 0));
  }
  last_flip_ = display.Now();
}
