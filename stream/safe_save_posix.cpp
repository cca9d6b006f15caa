#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

#include "stream/safe_save.h"
#include "stream/temporary_names.h"

namespace fs = std::filesystem;

namespace {

// Where a system-wide install puts its files (the package under /usr, a default
// "cmake --install" under /usr/local).
constexpr const char* kSystemFolders[] = {"/usr", "/etc", "/bin", "/sbin", "/lib", "/lib64"};

constexpr int kNameAttempts = 16;
constexpr auto kLockWait = std::chrono::seconds(2);
constexpr auto kLockRetry = std::chrono::milliseconds(10);

bool write_all(int descriptor, const uint8_t* bytes, size_t count) {
  while (count > 0) {
    const ssize_t written = ::write(descriptor, bytes, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) {
      errno = EIO;
      return false;
    }
    bytes += written;
    count -= static_cast<size_t>(written);
  }
  return true;
}

// Makes the rename itself durable. Some file systems refuse to sync a folder; the file
// is in place by then either way, so that is not a failure.
void sync_folder(const std::string& folder) {
  const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return;
  ::fsync(descriptor);
  ::close(descriptor);
}

bool lies_within(const fs::path& inner, const fs::path& outer) {
  auto in = inner.begin();
  for (auto out = outer.begin(); out != outer.end(); ++out, ++in) {
    if (out->empty()) continue;  // a trailing separator
    if (in == inner.end() || *in != *out) return false;
  }
  return true;
}

}  // namespace

bool replace_file_safely(const std::string& path, const uint8_t* bytes, size_t count,
                         std::string& error) {
  const fs::path target(path);
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";

  std::string temporary;
  int descriptor = -1;
  for (int attempt = 0; attempt < kNameAttempts && descriptor < 0; ++attempt) {
    temporary = (folder / temporary_name_for(target.filename().string())).string();
    descriptor =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (descriptor < 0 && errno != EEXIST) break;
  }
  if (descriptor < 0) {
    error = std::strerror(errno);
    return false;
  }

  int failure = 0;
  if (!write_all(descriptor, bytes, count)) {
    failure = errno;
  } else if (::fsync(descriptor) != 0) {
    failure = errno;
  }
  if (::close(descriptor) != 0 && failure == 0) failure = errno;
  // rename() replaces a link at path itself, never the file it points to.
  if (failure == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) failure = errno;
  if (failure != 0) {
    ::unlink(temporary.c_str());
    error = std::strerror(failure);
    return false;
  }
  sync_folder(folder.string());
  return true;
}

bool make_private_folders(const std::string& folder) {
  fs::path made;
  for (const fs::path& part : fs::path(folder)) {
    if (part.empty()) continue;
    made /= part;
    if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  std::error_code error;
  return fs::is_directory(folder.empty() ? "." : folder, error);
}

bool folder_can_hold_files(const std::string& folder) {
  fs::path path = folder.empty() ? "." : folder;
  while (true) {
    std::error_code error;
    const auto status = fs::status(path, error);
    if (fs::exists(status)) {
      return fs::is_directory(status) &&
             ::faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
    }
    if (error && error != std::errc::no_such_file_or_directory &&
        error != std::errc::not_a_directory)
      return false;
    const auto parent = path.parent_path();
    if (parent == path) return false;
    path = parent.empty() ? "." : parent;
  }
}

bool is_installed_folder(const std::string& folder) {
  std::error_code error;
  fs::path spelled = fs::absolute(folder.empty() ? "." : folder, error).lexically_normal();
  if (error) return false;
  if (spelled.filename().empty()) spelled = spelled.parent_path();
  const fs::path real = fs::weakly_canonical(spelled, error);
  if (error) return false;
  for (const char* system : kSystemFolders)
    if (lies_within(real, system)) return true;
  const fs::path real_parent = fs::weakly_canonical(spelled.parent_path(), error);
  return !error && !lies_within(real, real_parent);
}

save_lock::save_lock(const std::string& folder) {
  const int descriptor =
      ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return;
  handle_ = descriptor;
  const auto give_up = std::chrono::steady_clock::now() + kLockWait;
  while (true) {
    if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
      held_ = true;
      return;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) return;
    if (std::chrono::steady_clock::now() >= give_up) return;
    std::this_thread::sleep_for(kLockRetry);
  }
}

save_lock::~save_lock() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));  // closing releases the lock
}
