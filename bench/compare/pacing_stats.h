#pragma once
// Summaries of a run of frame timestamps against a 60 Hz schedule.

#include <cmath>
#include <string>
#include <vector>

#include "bench/compare/bench_clock.h"

namespace bench {

constexpr double kFramePeriodMs = 1000.0 / 60.0;

// Prints prefix_{median,p99,p999}_ms (|interval - 16.667 ms|) and prefix_drift_ms_per_min
// for timestamps in seconds.
inline void report_pacing(const std::string& prefix, const std::vector<double>& stamps) {
  std::vector<double> errors;
  for (size_t i = 1; i < stamps.size(); ++i)
    errors.push_back(std::fabs((stamps[i] - stamps[i - 1]) * 1e3 - kFramePeriodMs));
  report((prefix + "_median_ms").c_str(), percentile(errors, 50.0));
  report((prefix + "_p99_ms").c_str(), percentile(errors, 99.0));
  report((prefix + "_p999_ms").c_str(), percentile(errors, 99.9));
  const double span_ms = (stamps.back() - stamps.front()) * 1e3;
  const double expected_ms = static_cast<double>(stamps.size() - 1) * kFramePeriodMs;
  report((prefix + "_drift_ms_per_min").c_str(),
         std::fabs(span_ms - expected_ms) * 60000.0 / expected_ms);
}

}  // namespace bench
