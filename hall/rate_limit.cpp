#include "hall/rate_limit.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {
// Beyond this many addresses the full buckets (addresses quiet long enough) are forgotten,
// so many addresses cannot grow the map without end.
constexpr size_t kForgetAbove = 10000;
}  // namespace

bool rate_limit::allow(const std::string& address, clock::time_point now, int& retry_after) {
  std::lock_guard lock(mutex_);
  const double per_second = per_minute_ / 60.0;
  auto refilled = [&](bucket& entry) {
    const double seconds = std::chrono::duration<double>(now - entry.updated).count();
    entry.tokens = std::min(per_minute_, entry.tokens + std::max(0.0, seconds) * per_second);
    entry.updated = now;
  };
  if (buckets_.size() > kForgetAbove) {
    for (auto entry = buckets_.begin(); entry != buckets_.end();) {
      refilled(entry->second);
      entry = entry->second.tokens >= per_minute_ ? buckets_.erase(entry) : std::next(entry);
    }
  }
  auto [found, added] = buckets_.try_emplace(address, bucket{per_minute_, now});
  bucket& entry = found->second;
  if (!added) refilled(entry);
  if (entry.tokens >= 1.0) {
    entry.tokens -= 1.0;
    return true;
  }
  retry_after =
      per_second > 0 ? static_cast<int>(std::ceil((1.0 - entry.tokens) / per_second)) : 60;
  return false;
}
