#pragma once
// Submissions per address: each address may send per_minute at once, then one more each
// time 60 / per_minute seconds have passed. Any thread.

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

class rate_limit {
 public:
  using clock = std::chrono::steady_clock;
  explicit rate_limit(double per_minute) : per_minute_(per_minute) {}
  // True and one submission counted when address may submit at now; false otherwise, with
  // the seconds until it may in retry_after.
  bool allow(const std::string& address, clock::time_point now, int& retry_after);

 private:
  struct bucket {
    double tokens = 0;
    clock::time_point updated;
  };
  double per_minute_;
  std::mutex mutex_;
  std::unordered_map<std::string, bucket> buckets_;
};
