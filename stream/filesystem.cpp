// Path normalisation, case-insensitive path resolution and file-system operations.

#include "stream/filesystem.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "stream/native_files.h"
#include "stream/native_path.h"

namespace fs = std::filesystem;

namespace {

bool Exists(const std::string& path) {
  return NativeExists(path);
}

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

// The entry of directory that equals name ignoring ASCII case; the first in byte order
// when several do. Empty when none does or the directory cannot be read.
std::string FindEntryIgnoringCase(const std::string& directory, const std::string& name) {
  std::vector<std::string> entries;
  if (!NativeListFolder(directory.empty() ? "." : directory, entries)) return std::string();
  std::string best;
  for (const std::string& candidate : entries) {
    if (!EqualIgnoringAsciiCase(candidate, name)) continue;
    if (best.empty() || candidate < best) best = candidate;
  }
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
  native_status status;
  if (!NativeStatus(resolved, status)) return 0;
  return status.type;
}

std::string CurrentDirectory() {
  std::error_code error;
  const fs::path current = fs::current_path(error);
  if (error) return std::string();
  return NormalisePath(Utf8Path(current), 1);
}

int32_t ChangeDirectory(const std::string& path) {
  std::string resolved;
  if (!UsablePath(path, resolved, 1)) return 0;
  return NativeChangeDirectory(resolved) ? 1 : 0;
}

int64_t FileSize(const std::string& path) {
  std::string resolved;
  if (!UsablePath(path, resolved, 0)) return -1;
  native_status status;
  if (!NativeStatus(resolved, status) || status.type != 1) return -1;
  return status.size;
}

int64_t FileTime(const std::string& path) {
  std::string resolved;
  if (!UsablePath(path, resolved, 0)) return 0;
  native_status status;
  if (!NativeStatus(resolved, status)) return 0;
  return status.modified;
}

int32_t FileMode(const std::string& path) {
  std::string resolved;
  if (!UsablePath(path, resolved, 0)) return -1;
  native_status status;
  if (!NativeStatus(resolved, status)) return -1;
  return status.mode;
}

int32_t SetFileMode(const std::string& path, int32_t mode) {
  std::string resolved;
  if (!UsablePath(path, resolved, 0)) return 0;
  return NativeSetMode(resolved, mode) ? 1 : 0;
}

int32_t CreateFile(const std::string& path) {
  std::string resolved;
  if (!UsablePath(path, resolved, 0)) return 0;
  std::FILE* file = NativeOpenFile(resolved, "wb");
  if (!file) return 0;
  return std::fclose(file) == 0 ? 1 : 0;
}

int32_t DeleteFile(const std::string& path) {
  std::string resolved;
  if (!UsablePath(path, resolved, 0)) return 0;
  return NativeDeleteFile(resolved) ? 1 : 0;
}

int32_t RenameFile(const std::string& from, const std::string& to) {
  std::string source;
  std::string target;
  if (!UsablePath(from, source, 0) || !UsablePath(to, target, 0)) return 0;
  return NativeRename(source, target) ? 1 : 0;
}

int32_t CopyFile(const std::string& from, const std::string& to) {
  std::string source;
  std::string target;
  if (!UsablePath(from, source, 0) || !UsablePath(to, target, 0)) return 0;
  if (PathType(source) != 1) return 0;
  std::error_code error;
  fs::copy_file(NativePath(source), NativePath(target), fs::copy_options::overwrite_existing,
                error);
  return error ? 0 : 1;
}

int32_t CreateDir(const std::string& path, int32_t recurse) {
  std::string resolved;
  if (!UsablePath(path, resolved, 1)) return 0;
  std::error_code error;
  if (recurse) {
    fs::create_directories(NativePath(resolved), error);
  } else {
    fs::create_directory(NativePath(resolved), error);
  }
  return PathType(resolved) == 2 ? 1 : 0;
}

int32_t DeleteDir(const std::string& path, int32_t recurse) {
  std::string resolved;
  if (!UsablePath(path, resolved, 1)) return 0;
  if (PathType(resolved) != 2) return 0;
  std::error_code error;
  if (recurse) {
    fs::remove_all(NativePath(resolved), error);
  } else {
    fs::remove(NativePath(resolved), error);
  }
  return !error && PathType(resolved) == 0 ? 1 : 0;
}

std::vector<std::string> LoadDir(const std::string& path) {
  std::vector<std::string> names;
  std::string resolved;
  if (!UsablePath(path, resolved, 1)) return names;
  if (!NativeListFolder(resolved, names)) return {};
  std::sort(names.begin(), names.end());
  return names;
}
