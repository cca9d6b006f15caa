#include "hall/metrics.h"

#include <cstdio>

namespace {

void family(std::string& out, const char* name, const char* type, const char* help) {
  out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

void sample(std::string& out, const std::string& name, double value) {
  char number[64];
  std::snprintf(number, sizeof number, "%.17g", value);
  out += name + " " + number + "\n";
}

}  // namespace

void hall_metrics::submission_received() {
  std::lock_guard lock(mutex_);
  ++received_;
}

void hall_metrics::submission_rejected(const std::string& reason) {
  std::lock_guard lock(mutex_);
  ++rejected_[reason];
}

void hall_metrics::game_verified(double seconds) {
  std::lock_guard lock(mutex_);
  ++verified_;
  seconds_sum_ += seconds;
  ++seconds_count_;
}

void hall_metrics::game_refused(const std::string& reason, double seconds) {
  std::lock_guard lock(mutex_);
  ++refused_[reason];
  seconds_sum_ += seconds;
  ++seconds_count_;
}

std::string hall_metrics::text(int64_t queue_length) const {
  std::lock_guard lock(mutex_);
  std::string out;
  family(out, "vextral_hall_submissions_received_total", "counter",
         "Recordings accepted into the verification queue.");
  sample(out, "vextral_hall_submissions_received_total", static_cast<double>(received_));
  family(out, "vextral_hall_submissions_rejected_total", "counter",
         "Submissions refused before they were queued, by reason.");
  for (const auto& [reason, count] : rejected_)
    sample(out, "vextral_hall_submissions_rejected_total{reason=\"" + reason + "\"}",
           static_cast<double>(count));
  family(out, "vextral_hall_games_verified_total", "counter",
         "Games replayed to their recorded ending.");
  sample(out, "vextral_hall_games_verified_total", static_cast<double>(verified_));
  family(out, "vextral_hall_games_refused_total", "counter",
         "Games refused by verification, by reason.");
  for (const auto& [reason, count] : refused_)
    sample(out, "vextral_hall_games_refused_total{reason=\"" + reason + "\"}",
           static_cast<double>(count));
  family(out, "vextral_hall_queue_length", "gauge", "Games queued or being verified.");
  sample(out, "vextral_hall_queue_length", static_cast<double>(queue_length));
  family(out, "vextral_hall_verification_seconds", "summary",
         "Wall time of each verification, child process included.");
  sample(out, "vextral_hall_verification_seconds_sum", seconds_sum_);
  sample(out, "vextral_hall_verification_seconds_count", static_cast<double>(seconds_count_));
  return out;
}
