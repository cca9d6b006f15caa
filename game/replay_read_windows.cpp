#include <algorithm>

#include "game/replay_format.h"
#include "game/replay_read.h"
#include "stream/wide_text.h"

namespace {

std::string CannotBeRead() {
  wchar_t* text = nullptr;
  const DWORD code = GetLastError();
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length > 0 ? std::wstring(text, length) : std::wstring();
  LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.'))
    message.pop_back();
  return "cannot be read (" +
         (message.empty() ? "error " + std::to_string(code) : Utf8FromWide(message)) + ")";
}

}  // namespace

bool read_replay_bytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  // Backup semantics open a folder too, so it can be told apart; another program may go
  // on writing or replacing the file meanwhile.
  const HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = CannotBeRead();
    return false;
  }
  BY_HANDLE_FILE_INFORMATION information{};
  bool ok = false;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    error = "is not a regular file";
  } else if (!GetFileInformationByHandle(file, &information)) {
    error = CannotBeRead();
  } else if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    error = "is a folder, not a replay";
  } else {
    const uint64_t size =
        (static_cast<uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    if (size > replay_max_file_size) {
      error = "is too large for a replay (" + std::to_string(size) + " bytes)";
    } else {
      // The file may grow while it is read: never take more than the cap, plus one byte to
      // notice that it did.
      bytes.resize(static_cast<size_t>(size) + 1);
      size_t filled = 0;
      ok = true;
      while (filled < bytes.size()) {
        DWORD got = 0;
        if (!ReadFile(file, bytes.data() + filled, static_cast<DWORD>(bytes.size() - filled), &got,
                      nullptr)) {
          error = CannotBeRead();
          ok = false;
          break;
        }
        if (got == 0) break;
        filled += got;
        if (filled == bytes.size() && bytes.size() <= replay_max_file_size)
          bytes.resize(std::min(bytes.size() * 2, replay_max_file_size + 1));
      }
      if (ok && filled > replay_max_file_size) {
        error = "is too large for a replay";
        ok = false;
      }
      bytes.resize(filled);
    }
  }
  CloseHandle(file);
  return ok;
}
