#include "stream/native_files.h"
#include "stream/wide_text.h"

namespace {

// Seconds between 1601 (FILETIME's start) and 1970.
constexpr int64_t kEpochDifference = 11644473600LL;

std::wstring Wide(const std::string& path) {
  return WideFromUtf8(path.empty() ? std::string(".") : path);
}

}  // namespace

bool NativeExists(const std::string& path) {
  return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool NativeStatus(const std::string& path, native_status& result) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return false;
  const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  result.type = folder ? 2 : 1;
  result.size = folder ? 0
                       : static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                                              data.nFileSizeLow);
  const uint64_t ticks = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                         data.ftLastWriteTime.dwLowDateTime;
  result.modified = static_cast<int64_t>(ticks / 10000000ULL) - kEpochDifference;
  // What Windows can say in permission bits: read-only or not, folders searchable.
  const bool read_only = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  result.mode = (read_only ? 0444 : 0666) | (folder ? 0111 : 0);
  return true;
}

bool NativeListFolder(const std::string& folder, std::vector<std::string>& names) {
  std::wstring pattern = Wide(folder);
  if (pattern.back() != L'/' && pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW entry{};
  const HANDLE search = FindFirstFileW(pattern.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    const std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") names.push_back(Utf8FromWide(name));
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return true;
}

bool NativeChangeDirectory(const std::string& path) {
  return SetCurrentDirectoryW(Wide(path).c_str()) != 0;
}

bool NativeSetMode(const std::string& path, int32_t mode) {
  const std::wstring wide = Wide(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  const DWORD wanted = (mode & 0200) ? attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)
                                     : attributes | FILE_ATTRIBUTE_READONLY;
  return wanted == attributes || SetFileAttributesW(wide.c_str(), wanted) != 0;
}

bool NativeDeleteFile(const std::string& path) {
  const std::wstring wide = Wide(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  if (attributes & FILE_ATTRIBUTE_READONLY)
    SetFileAttributesW(wide.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  return DeleteFileW(wide.c_str()) != 0;
}

bool NativeRename(const std::string& from, const std::string& to) {
  // As rename() does on Linux, an existing file at to is replaced.
  return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::FILE* NativeOpenFile(const std::string& path, const char* mode) {
  const std::wstring wide = Wide(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return nullptr;
  return _wfopen(wide.c_str(), WideFromUtf8(mode).c_str());
}

bool NativeSeek(std::FILE* file, int64_t offset, int origin) {
  return _fseeki64(file, offset, origin) == 0;
}

int64_t NativeTell(std::FILE* file) {
  return _ftelli64(file);
}

std::string NativeMakeTemporaryFolder(const std::string& name_prefix) {
  wchar_t base[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, base);
  if (length == 0 || length > MAX_PATH) return {};
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  LARGE_INTEGER counter{};
  for (int attempt = 0; attempt < 32; ++attempt) {
    QueryPerformanceCounter(&counter);
    uint64_t seed = static_cast<uint64_t>(counter.QuadPart) * 6364136223846793005ULL ^
                    (static_cast<uint64_t>(GetCurrentProcessId()) << 20) ^ attempt;
    std::string name = name_prefix;
    for (int letter = 0; letter < 8; ++letter, seed /= 36) name += kLetters[seed % 36];
    const std::string path = Utf8FromWide(base) + name;
    if (CreateDirectoryW(WideFromUtf8(path).c_str(), nullptr)) return path;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}
