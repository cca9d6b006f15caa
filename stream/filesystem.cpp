// Path normalisation, case-insensitive path resolution and file-system operations.

#include "stream/filesystem.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool Exists(const std::string& path) {
  struct stat status {};
  return lstat(path.c_str(), &status) == 0;
}

// The entry of directory that equals name ignoring ASCII case; the first in byte order
// when several do. Empty when none does or the directory cannot be read.
std::string FindEntryIgnoringCase(const std::string& directory, const std::string& name) {
  DIR* listing = opendir(directory.empty() ? "." : directory.c_str());
  if (!listing) return std::string();
  std::string best;
  while (const dirent* entry = readdir(listing)) {
    const std::string candidate = entry->d_name;
    if (strcasecmp(candidate.c_str(), name.c_str()) != 0) continue;
    if (best.empty() || candidate < best) best = candidate;
  }
  closedir(listing);
  return best;
}

// The normalised path with any "<" or ">" rejected, case resolved.
bool UsablePath(const std::string& path, std::string& resolved, int32_t is_directory) {
  if (path.empty() || path.find_first_of("<>") != std::string::npos) return false;
  resolved = ResolvePathCase(NormalisePath(path, is_directory));
  return true;
}

}  // namespace

std::string NormalisePath(const std::string& path, int32_t is_directory) {
  std::string result = path;
  std::replace(result.begin(), result.end(), '\\', '/');
  if (is_directory) {
    while (result.size() > 1 && result.back() == '/') result.pop_back();
  }
  return result;
}

std::string ResolvePathCase(const std::string& path) {
  if (path.empty() || Exists(path)) return path;
  std::string resolved;
  size_t start = 0;
  if (path[0] == '/') {
    resolved.assign(1, '/');
    start = 1;
  }
  bool matching = true;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string component = path.substr(start, end - start);
    std::string chosen = component;
    if (matching && !component.empty() && component != "." && component != "..") {
      const std::string spelled = resolved + component;
      if (!Exists(spelled)) {
        const std::string found = FindEntryIgnoringCase(resolved, component);
        if (found.empty()) {
          matching = false;  // nothing below a missing component can exist either
        } else {
          chosen = found;
        }
      }
    }
    resolved += chosen;
    if (end < path.size()) resolved += '/';
    start = end + 1;
  }
  return resolved;
}

int32_t PathType(const std::string& path) {
  std::string resolved;
  if (!UsablePath(path, resolved, 1)) return 0;
  struct stat status {};
  if (stat(resolved.c_str(), &status) != 0) return 0;
  if (S_ISREG(status.st_mode)) return 1;
  if (S_ISDIR(status.st_mode)) return 2;
  return 0;
}

std::string CurrentDirectory() {
  std::error_code error;
  const fs::path current = fs::current_path(error);
  if (error) return std::string();
  return NormalisePath(current.string(), 1);
}

int32_t ChangeDirectory(const std::string& path) {
  std::string resolved;
  if (!UsablePath(path, resolved, 1)) return 0;
  return chdir(resolved.c_str()) == 0 ? 1 : 0;
}

int64_t FileSize(const std::string& path) {
  std::string resolved;
  if (!UsablePath(path, resolved, 0)) return -1;
  struct stat status {};
  if (stat(resolved.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return -1;
  return static_cast<int64_t>(status.st_size);
}

int64_t FileTime(const std::string& path) {
  std::string resolved;
  if (!UsablePath(path, resolved, 0)) return 0;
  struct stat status {};
  if (stat(resolved.c_str(), &status) != 0) return 0;
  return static_cast<int64_t>(status.st_mtime);
}

int32_t FileMode(const std::string& path) {
  std::string resolved;
  if (!UsablePath(path, resolved, 0)) return -1;
  struct stat status {};
  if (stat(resolved.c_str(), &status) != 0) return -1;
  return static_cast<int32_t>(status.st_mode & 07777);
}

int32_t SetFileMode(const std::string& path, int32_t mode) {
  std::string resolved;
  if (!UsablePath(path, resolved, 0)) return 0;
  return chmod(resolved.c_str(), static_cast<mode_t>(mode & 07777)) == 0 ? 1 : 0;
}

int32_t CreateFile(const std::string& path) {
  std::string resolved;
  if (!UsablePath(path, resolved, 0)) return 0;
  std::FILE* file = std::fopen(resolved.c_str(), "wb");
  if (!file) return 0;
  return std::fclose(file) == 0 ? 1 : 0;
}

int32_t DeleteFile(const std::string& path) {
  std::string resolved;
  if (!UsablePath(path, resolved, 0)) return 0;
  struct stat status {};
  if (lstat(resolved.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) return 0;
  if (!S_ISLNK(status.st_mode)) chmod(resolved.c_str(), 0666);
  return unlink(resolved.c_str()) == 0 ? 1 : 0;
}

int32_t RenameFile(const std::string& from, const std::string& to) {
  std::string source;
  std::string target;
  if (!UsablePath(from, source, 0) || !UsablePath(to, target, 0)) return 0;
  return std::rename(source.c_str(), target.c_str()) == 0 ? 1 : 0;
}

int32_t CopyFile(const std::string& from, const std::string& to) {
  std::string source;
  std::string target;
  if (!UsablePath(from, source, 0) || !UsablePath(to, target, 0)) return 0;
  if (PathType(source) != 1) return 0;
  std::error_code error;
  fs::copy_file(source, target, fs::copy_options::overwrite_existing, error);
  return error ? 0 : 1;
}

int32_t CreateDir(const std::string& path, int32_t recurse) {
  std::string resolved;
  if (!UsablePath(path, resolved, 1)) return 0;
  std::error_code error;
  if (recurse) {
    fs::create_directories(resolved, error);
  } else {
    fs::create_directory(resolved, error);
  }
  return PathType(resolved) == 2 ? 1 : 0;
}

int32_t DeleteDir(const std::string& path, int32_t recurse) {
  std::string resolved;
  if (!UsablePath(path, resolved, 1)) return 0;
  if (PathType(resolved) != 2) return 0;
  std::error_code error;
  if (recurse) {
    fs::remove_all(resolved, error);
  } else {
    fs::remove(resolved, error);
  }
  return !error && PathType(resolved) == 0 ? 1 : 0;
}

std::vector<std::string> LoadDir(const std::string& path) {
  std::vector<std::string> names;
  std::string resolved;
  if (!UsablePath(path, resolved, 1)) return names;
  DIR* listing = opendir(resolved.c_str());
  if (!listing) return names;
  while (const dirent* entry = readdir(listing)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(listing);
  std::sort(names.begin(), names.end());
  return names;
}
