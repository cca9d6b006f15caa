#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "stream/native_files.h"

bool NativeExists(const std::string& path) {
  struct stat status {};
  return lstat(path.c_str(), &status) == 0;
}

bool NativeStatus(const std::string& path, native_status& result) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return false;
  result.type = S_ISREG(status.st_mode) ? 1 : S_ISDIR(status.st_mode) ? 2 : 0;
  result.size = static_cast<int64_t>(status.st_size);
  result.modified = static_cast<int64_t>(status.st_mtime);
  result.mode = static_cast<int32_t>(status.st_mode & 07777);
  return true;
}

bool NativeListFolder(const std::string& folder, std::vector<std::string>& names) {
  DIR* listing = opendir(folder.empty() ? "." : folder.c_str());
  if (!listing) return false;
  while (const dirent* entry = readdir(listing)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(listing);
  return true;
}

bool NativeChangeDirectory(const std::string& path) {
  return chdir(path.c_str()) == 0;
}

bool NativeSetMode(const std::string& path, int32_t mode) {
  return chmod(path.c_str(), static_cast<mode_t>(mode & 07777)) == 0;
}

bool NativeDeleteFile(const std::string& path) {
  struct stat status {};
  if (lstat(path.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) return false;
  if (!S_ISLNK(status.st_mode)) chmod(path.c_str(), 0666);
  return unlink(path.c_str()) == 0;
}

bool NativeRename(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

std::FILE* NativeOpenFile(const std::string& path, const char* mode) {
  std::FILE* file = std::fopen(path.c_str(), mode);
  if (!file) return nullptr;
  // fopen happily opens a directory for reading; every read would then fail.
  struct stat status {};
  if (fstat(fileno(file), &status) != 0 || S_ISDIR(status.st_mode)) {
    std::fclose(file);
    return nullptr;
  }
  return file;
}

bool NativeSeek(std::FILE* file, int64_t offset, int origin) {
  return fseeko(file, static_cast<off_t>(offset), origin) == 0;
}

int64_t NativeTell(std::FILE* file) {
  return static_cast<int64_t>(ftello(file));
}

std::string NativeMakeTemporaryFolder(const std::string& name_prefix) {
  std::string pattern = "/tmp/" + name_prefix + "XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}
