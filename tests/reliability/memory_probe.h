#pragma once
// What the process holds: resident set (now and peak, from /proc) and live heap bytes (from
// the sanitizer's allocator under AddressSanitizer, from glibc otherwise).

#include <malloc.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#define VEXTRAL_PROBE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VEXTRAL_PROBE_ASAN 1
#endif
#endif

#ifdef VEXTRAL_PROBE_ASAN
// From the sanitizer runtime's allocator interface (gcc ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

struct memory_sample {
  int64_t rss_kb = 0;       // resident now
  int64_t peak_rss_kb = 0;  // highest resident so far
  int64_t heap_bytes = 0;   // allocated and not yet freed
};

inline int64_t status_field_kb(const std::string& name) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(name + ":", 0) == 0) return std::stoll(line.substr(name.size() + 1));
  }
  return 0;
}

inline memory_sample sample_memory() {
  memory_sample sample;
  sample.rss_kb = status_field_kb("VmRSS");
  sample.peak_rss_kb = status_field_kb("VmHWM");
#ifdef VEXTRAL_PROBE_ASAN
  sample.heap_bytes = static_cast<int64_t>(__sanitizer_get_current_allocated_bytes());
#else
  sample.heap_bytes = static_cast<int64_t>(mallinfo2().uordblks);
#endif
  return sample;
}
