#include "stream/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

std::string unreadable(int error_number) {
  return std::string("cannot be read (") + std::strerror(error_number) + ")";
}

// Reads to the end, at most max_size + 1 bytes: one more than allowed shows the file grew.
bool read_to_end(int descriptor, size_t expected, size_t max_size, std::vector<uint8_t>& bytes,
                 std::string& error) {
  bytes.resize(std::min(expected, max_size) + 1);
  size_t filled = 0;
  while (filled < bytes.size()) {
    const ssize_t got = ::read(descriptor, bytes.data() + filled, bytes.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = unreadable(errno);
      return false;
    }
    if (got == 0) break;
    filled += static_cast<size_t>(got);
    if (filled == bytes.size() && bytes.size() <= max_size)
      bytes.resize(std::min(bytes.size() * 2, max_size + 1));
  }
  bytes.resize(filled);
  if (filled > max_size) {
    error = "is too large";
    return false;
  }
  return true;
}

}  // namespace

bool read_regular_file(const std::string& path, size_t max_size, std::vector<uint8_t>& bytes,
                       std::string& error) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (descriptor < 0) {
    error = unreadable(errno);
    return false;
  }
  struct stat status {};
  bool ok = false;
  if (::fstat(descriptor, &status) != 0) {
    error = unreadable(errno);
  } else if (S_ISDIR(status.st_mode)) {
    error = "is a folder, not a file";
  } else if (!S_ISREG(status.st_mode)) {
    error = "is not a regular file";
  } else if (static_cast<uint64_t>(status.st_size) > max_size) {
    error = "is too large (" + std::to_string(status.st_size) + " bytes)";
  } else {
    ok = read_to_end(descriptor, static_cast<size_t>(status.st_size), max_size, bytes, error);
  }
  ::close(descriptor);
  return ok;
}
