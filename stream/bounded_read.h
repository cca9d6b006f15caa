#pragma once
// The read loop behind read_regular_file, shared by the systems' files: reads to the end
// but never more than a cap, even from a file that grows while it is read. Any thread.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Reads into bytes through read_some(buffer, size), which returns how many bytes it read,
// 0 at the end, or -1 after setting error. expected (the size the file had) sizes the
// first buffer. When more than max_size bytes come: false with error "is too large", or
// with keep_start the first max_size bytes.
bool read_bounded(const std::function<int64_t(uint8_t* buffer, size_t size)>& read_some,
                  uint64_t expected, size_t max_size, std::vector<uint8_t>& bytes,
                  std::string& error, bool keep_start = false);
