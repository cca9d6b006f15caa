#include "stream/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "stream/bounded_read.h"

namespace {

std::string unreadable(int error_number) {
  return std::string("cannot be read (") + std::strerror(error_number) + ")";
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
    const auto read_some = [descriptor, &error](uint8_t* buffer, size_t size) -> int64_t {
      for (;;) {
        const ssize_t got = ::read(descriptor, buffer, size);
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        error = unreadable(errno);
        return -1;
      }
    };
    ok = read_bounded(read_some, static_cast<uint64_t>(status.st_size), max_size, bytes, error);
  }
  ::close(descriptor);
  return ok;
}
