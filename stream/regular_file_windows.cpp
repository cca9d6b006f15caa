#include "stream/regular_file.h"

#include <algorithm>

#include "stream/wide_text.h"

namespace {

std::string unreadable() {
  return "cannot be read (" + SystemMessage(GetLastError()) + ")";
}

// Reads to the end, at most max_size + 1 bytes: one more than allowed shows the file grew.
bool read_to_end(HANDLE file, uint64_t expected, size_t max_size, std::vector<uint8_t>& bytes,
                 std::string& error) {
  bytes.resize(static_cast<size_t>(std::min<uint64_t>(expected, max_size)) + 1);
  size_t filled = 0;
  while (filled < bytes.size()) {
    DWORD got = 0;
    if (!ReadFile(file, bytes.data() + filled, static_cast<DWORD>(bytes.size() - filled), &got,
                  nullptr)) {
      error = unreadable();
      return false;
    }
    if (got == 0) break;
    filled += got;
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
  // Backup semantics open a folder too, so it can be told apart; another program may go
  // on writing or replacing the file meanwhile.
  const HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = unreadable();
    return false;
  }
  BY_HANDLE_FILE_INFORMATION information{};
  bool ok = false;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    error = "is not a regular file";
  } else if (!GetFileInformationByHandle(file, &information)) {
    error = unreadable();
  } else if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    error = "is a folder, not a file";
  } else {
    const uint64_t size =
        (static_cast<uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    if (size > max_size) {
      error = "is too large (" + std::to_string(size) + " bytes)";
    } else {
      ok = read_to_end(file, size, max_size, bytes, error);
    }
  }
  CloseHandle(file);
  return ok;
}
