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

// Why open() failed: only a missing file, or a missing folder on the way, is nothing there.
file_refusal open_failure(const std::string& path, int error_number, link_rule links,
                          std::string& error) {
  if (error_number == ENOENT || error_number == ENOTDIR) {
    error = unreadable(error_number);
    return file_refusal::absent;
  }
  struct stat status {};
  if (links == link_rule::refuse && error_number == ELOOP && ::lstat(path.c_str(), &status) == 0 &&
      S_ISLNK(status.st_mode)) {
    error = "is a link, not a file";
    return file_refusal::not_a_file;
  }
  error = unreadable(error_number);
  return file_refusal::unreadable;
}

}  // namespace

file_refusal read_regular_file_why(const std::string& path, size_t max_size,
                                   std::vector<uint8_t>& bytes, std::string& error, link_rule links,
                                   size_rule larger) {
  int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
  if (links == link_rule::refuse) flags |= O_NOFOLLOW;
  const int descriptor = ::open(path.c_str(), flags);
  if (descriptor < 0) return open_failure(path, errno, links, error);
  struct stat status {};
  file_refusal refusal = file_refusal::unreadable;
  if (::fstat(descriptor, &status) != 0) {
    error = unreadable(errno);
  } else if (S_ISDIR(status.st_mode)) {
    error = "is a folder, not a file";
    refusal = file_refusal::not_a_file;
  } else if (!S_ISREG(status.st_mode)) {
    error = "is not a regular file";
    refusal = file_refusal::not_a_file;
  } else if (larger == size_rule::refuse_larger &&
             static_cast<uint64_t>(status.st_size) > max_size) {
    error = "is too large (" + std::to_string(status.st_size) + " bytes)";
    refusal = file_refusal::too_large;
  } else {
    bool failed = false;
    const auto read_some = [descriptor, &error, &failed](uint8_t* buffer, size_t size) -> int64_t {
      for (;;) {
        const ssize_t got = ::read(descriptor, buffer, size);
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        error = unreadable(errno);
        failed = true;
        return -1;
      }
    };
    if (read_bounded(read_some, static_cast<uint64_t>(status.st_size), max_size, bytes, error,
                     larger == size_rule::keep_start))
      refusal = file_refusal::none;
    else if (!failed)
      refusal = file_refusal::too_large;
  }
  ::close(descriptor);
  return refusal;
}
