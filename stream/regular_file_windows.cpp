#include "stream/regular_file.h"

#include <algorithm>

#include "stream/bounded_read.h"
#include "stream/wide_text.h"

namespace {

std::string unreadable() {
  return "cannot be read (" + SystemMessage(GetLastError()) + ")";
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
      const auto read_some = [file, &error](uint8_t* buffer, size_t size) -> int64_t {
        DWORD got = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>(size, MAXDWORD));
        if (ReadFile(file, buffer, wanted, &got, nullptr)) return got;
        error = unreadable();
        return -1;
      };
      ok = read_bounded(read_some, size, max_size, bytes, error);
    }
  }
  CloseHandle(file);
  return ok;
}
