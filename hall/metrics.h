#pragma once
// The hall's counters since it started, for GET /metrics (Prometheus text format). Any
// thread.

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

class hall_metrics {
 public:
  void submission_received();
  // A request refused at the door (bad name, empty, too large, rate limited, duplicate).
  void submission_rejected(const std::string& reason);
  void game_verified(double seconds);
  void game_refused(const std::string& reason, double seconds);
  // All of it, with the queue's length as read from the store.
  std::string text(int64_t queue_length) const;

 private:
  mutable std::mutex mutex_;
  int64_t received_ = 0;
  int64_t verified_ = 0;
  std::map<std::string, int64_t> rejected_;
  std::map<std::string, int64_t> refused_;
  double seconds_sum_ = 0;
  int64_t seconds_count_ = 0;
};
