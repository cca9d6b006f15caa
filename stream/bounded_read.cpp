#include "stream/bounded_read.h"

#include <algorithm>

bool read_bounded(const std::function<int64_t(uint8_t* buffer, size_t size)>& read_some,
                  uint64_t expected, size_t max_size, std::vector<uint8_t>& bytes,
                  std::string& error, bool keep_start) {
  // One byte more than allowed shows that the file grew past the cap.
  bytes.resize(static_cast<size_t>(std::min<uint64_t>(expected, max_size)) + 1);
  size_t filled = 0;
  while (filled < bytes.size()) {
    const int64_t got = read_some(bytes.data() + filled, bytes.size() - filled);
    if (got < 0) return false;
    if (got == 0) break;
    filled += static_cast<size_t>(got);
    if (filled == bytes.size() && bytes.size() <= max_size)
      bytes.resize(std::min(bytes.size() * 2, max_size + 1));
  }
  bytes.resize(filled);
  if (filled > max_size && keep_start) {
    bytes.resize(max_size);
  } else if (filled > max_size) {
    error = "is too large";
    return false;
  }
  return true;
}
