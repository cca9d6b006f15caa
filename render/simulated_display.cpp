#include "render/simulated_display.h"

#include <time.h>

#include <algorithm>
#include <cmath>

#include "render/graphics.h"

TSimulatedDisplay::TSimulatedDisplay(double refresh_hz, bool adaptive, int32_t max_interval,
                                     int32_t queue_depth)
    : refresh_hz_(refresh_hz > 0.0 ? refresh_hz : 0.0),
      adaptive_(adaptive && refresh_hz > 0.0),
      max_interval_(max_interval > 1 ? max_interval : 1),
      queue_depth_(queue_depth > 0 ? queue_depth : 0) {}

int64_t TSimulatedDisplay::Blank(int64_t index) const {
  return origin_ + static_cast<int64_t>(std::ceil(static_cast<double>(index) * 1e9 / refresh_hz_));
}

int64_t TSimulatedDisplay::FirstBlankFrom(int64_t time) const {
  if (time <= origin_) return 0;
  auto index =
      static_cast<int64_t>(std::floor(static_cast<double>(time - origin_) * refresh_hz_ / 1e9));
  // The division above can land one off either way; settle on the exact blank.
  while (index > 0 && Blank(index - 1) >= time) --index;
  while (Blank(index) < time) ++index;
  return index;
}

void TSimulatedDisplay::SleepUntil(int64_t deadline) {
  if (deadline > now_) now_ = deadline;
}

void TSimulatedDisplay::SetRefreshRate(double refresh_hz) {
  refresh_hz_ = refresh_hz > 0.0 ? refresh_hz : 0.0;
  if (refresh_hz_ == 0.0) adaptive_ = false;
  // The new rate's blanks begin once the queued pages are out; a page shown right then
  // holds blank 0.
  origin_ = std::max(now_, last_present_);
  last_blank_ = queued_.empty() || queued_.back() < origin_ ? -1 : 0;
}

void TSimulatedDisplay::SetBlocking(bool blocking) {
  blocking_ = blocking;
  queued_.clear();
  last_blank_ = -1;
  if (blocking && refresh_hz_ > 0.0) {
    origin_ = now_;
  }
}

void TSimulatedDisplay::PresentAt(int64_t time, bool torn) {
  last_present_ = time;
  ++presents_;
  if (torn) ++torn_;
  queued_.push_back(time);
}

void TSimulatedDisplay::Flip(TGraphicsDriver& driver, int32_t sync) {
  driver.Flip(0);
  while (!queued_.empty() && queued_.front() <= now_) queued_.pop_front();
  if (!blocking_ || refresh_hz_ <= 0.0) {
    // Nothing to wait for: shown (or, hidden, dropped) at once.
    PresentAt(now_, false);
    queued_.clear();
    return;
  }
  const int64_t first = FirstBlankFrom(now_);
  const int64_t after_queue = queued_.empty() ? now_ : std::max(now_, queued_.back());
  if (sync == 0) {
    // At once, right after any page still queued; later intervals count from the blank
    // before it, as a swap counter would.
    const int64_t blank = FirstBlankFrom(after_queue);
    const bool on_blank = Blank(blank) == after_queue;
    last_blank_ = on_blank ? blank : blank - 1;
    PresentAt(after_queue, !on_blank);
  } else {
    const int64_t interval = sync > max_interval_ ? max_interval_ : (sync > 0 ? sync : 1);
    if (sync < 0 && adaptive_ && last_blank_ >= 0 && first > last_blank_ + 1 &&
        Blank(first) != now_) {
      // Adaptive: the blank this page was due at has gone by, so it goes out at once.
      last_blank_ = first - 1;
      PresentAt(now_, true);
    } else {
      int64_t blank = first;
      if (last_blank_ >= 0 && blank < last_blank_ + interval) blank = last_blank_ + interval;
      last_blank_ = blank;
      PresentAt(Blank(blank), false);
    }
  }
  // Blocks while more pages wait for their blank than the queue holds.
  while (!queued_.empty() && queued_.front() <= now_) queued_.pop_front();
  while (static_cast<int32_t>(queued_.size()) > queue_depth_) {
    now_ = std::max(now_, queued_.front());
    queued_.pop_front();
  }
}

double TSimulatedDisplay::RefreshRate(TGraphicsDriver&) {
  return refresh_hz_;
}

bool TSimulatedDisplay::AdaptiveSync(TGraphicsDriver&) {
  return adaptive_;
}

bool TSimulatedDisplay::Unpaced(TGraphicsDriver&) {
  return false;
}

namespace {

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace

TSimulatedRun RunSimulatedFrames(TSimulatedDisplay& display, int64_t span,
                                 const std::vector<int64_t>& work,
                                 const std::function<void(int64_t, int64_t)>& before_frame) {
  TSimulatedRun run;
  Flip(-1);
  const int64_t start = display.Now();
  const int64_t end = start + span;
  const int64_t torn = display.TornFlips();
  int64_t last = display.LastPresent();
  for (int64_t frame = 0; display.Now() < end; ++frame) {
    if (before_frame) before_frame(frame, display.Now() - start);
    if (!work.empty()) display.Advance(work[static_cast<size_t>(frame) % work.size()]);
    const double cpu = ThreadCpuSeconds();
    Flip(-1);
    run.cpu_seconds += ThreadCpuSeconds() - cpu;
    if (display.LastPresent() > end) continue;
    ++run.updates;
    run.intervals_ms.push_back(static_cast<double>(display.LastPresent() - last) / 1e6);
    last = display.LastPresent();
  }
  run.torn = display.TornFlips() - torn;
  return run;
}
