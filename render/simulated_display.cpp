#include "render/simulated_display.h"

#include <cmath>

#include "render/graphics.h"

TSimulatedDisplay::TSimulatedDisplay(double refresh_hz, bool adaptive, int32_t max_interval)
    : refresh_hz_(refresh_hz > 0.0 ? refresh_hz : 0.0),
      adaptive_(adaptive && refresh_hz > 0.0),
      max_interval_(max_interval > 1 ? max_interval : 1) {}

int64_t TSimulatedDisplay::Blank(int64_t index) const {
  return static_cast<int64_t>(std::ceil(static_cast<double>(index) * 1e9 / refresh_hz_));
}

int64_t TSimulatedDisplay::FirstBlankFrom(int64_t time) const {
  auto index = static_cast<int64_t>(std::floor(static_cast<double>(time) * refresh_hz_ / 1e9));
  // The division above can land one off either way; settle on the exact blank.
  while (index > 0 && Blank(index - 1) >= time) --index;
  while (Blank(index) < time) ++index;
  return index;
}

void TSimulatedDisplay::SleepUntil(int64_t deadline) {
  if (deadline > now_) now_ = deadline;
}

void TSimulatedDisplay::PresentAt(int64_t time, bool torn) {
  now_ = time;
  last_present_ = time;
  ++presents_;
  if (torn) ++torn_;
}

void TSimulatedDisplay::Flip(TGraphicsDriver& driver, int32_t sync) {
  driver.Flip(0);
  if (refresh_hz_ <= 0.0) {
    PresentAt(now_, false);
    return;
  }
  const int64_t first = FirstBlankFrom(now_);
  if (sync == 0) {
    PresentAt(now_, Blank(first) != now_);
    return;
  }
  const int64_t interval = sync > max_interval_ ? max_interval_ : (sync > 0 ? sync : 1);
  int64_t blank = first;
  if (last_blank_ >= 0 && blank < last_blank_ + interval) blank = last_blank_ + interval;
  if (sync < 0 && adaptive_ && last_blank_ >= 0 && first > last_blank_ + 1 &&
      Blank(first) != now_) {
    // Adaptive: the blank this page was due at has gone by, so it goes out at once.
    last_blank_ = first - 1;
    PresentAt(now_, true);
    return;
  }
  last_blank_ = blank;
  PresentAt(Blank(blank), false);
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
