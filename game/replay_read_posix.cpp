#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "game/replay_format.h"
#include "game/replay_read.h"

bool read_replay_bytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (descriptor < 0) {
    error = std::string("cannot be read (") + std::strerror(errno) + ")";
    return false;
  }
  struct stat status {};
  bool ok = false;
  if (::fstat(descriptor, &status) != 0) {
    error = std::string("cannot be read (") + std::strerror(errno) + ")";
  } else if (!S_ISREG(status.st_mode)) {
    error = S_ISDIR(status.st_mode) ? "is a folder, not a replay" : "is not a regular file";
  } else if (static_cast<uint64_t>(status.st_size) > replay_max_file_size) {
    error = "is too large for a replay (" + std::to_string(status.st_size) + " bytes)";
  } else {
    // The file may grow while it is read: never take more than the cap, plus one byte to
    // notice that it did.
    bytes.resize(static_cast<size_t>(status.st_size) + 1);
    size_t filled = 0;
    ok = true;
    while (filled < bytes.size()) {
      const ssize_t got = ::read(descriptor, bytes.data() + filled, bytes.size() - filled);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        error = std::string("cannot be read (") + std::strerror(errno) + ")";
        ok = false;
        break;
      }
      if (got == 0) break;
      filled += static_cast<size_t>(got);
      if (filled == bytes.size() && bytes.size() <= replay_max_file_size)
        bytes.resize(std::min(bytes.size() * 2, replay_max_file_size + 1));
    }
    if (ok && filled > replay_max_file_size) {
      error = "is too large for a replay";
      ok = false;
    }
    bytes.resize(filled);
  }
  ::close(descriptor);
  return ok;
}
