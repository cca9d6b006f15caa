#include "stream/regular_file.h"

#include <algorithm>

#include "stream/bounded_read.h"
#include "stream/wide_text.h"

namespace {

std::string unreadable(DWORD failure) {
  return "cannot be read (" + SystemMessage(failure) + ")";
}

}  // namespace

file_refusal read_regular_file_why(const std::string& path, size_t max_size,
                                   std::vector<uint8_t>& bytes, std::string& error, link_rule links,
                                   size_rule larger) {
  // Backup semantics open a folder too, so it can be told apart; another program may go
  // on writing or replacing the file meanwhile. Refusing links, the link itself is opened.
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
  if (links == link_rule::refuse) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  const HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, flags, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD failure = GetLastError();
    error = unreadable(failure);
    // A sharing violation, a lock or a denied access mean a file is there.
    return failure == ERROR_FILE_NOT_FOUND || failure == ERROR_PATH_NOT_FOUND
               ? file_refusal::absent
               : file_refusal::unreadable;
  }
  BY_HANDLE_FILE_INFORMATION information{};
  file_refusal refusal = file_refusal::unreadable;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    error = "is not a regular file";
    refusal = file_refusal::not_a_file;
  } else if (!GetFileInformationByHandle(file, &information)) {
    error = unreadable(GetLastError());
  } else if (links == link_rule::refuse &&
             (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    error = "is a link, not a file";
    refusal = file_refusal::not_a_file;
  } else if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    error = "is a folder, not a file";
    refusal = file_refusal::not_a_file;
  } else {
    const uint64_t size =
        (static_cast<uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    if (larger == size_rule::refuse_larger && size > max_size) {
      error = "is too large (" + std::to_string(size) + " bytes)";
      refusal = file_refusal::too_large;
    } else {
      bool failed = false;
      const auto read_some = [file, &error, &failed](uint8_t* buffer, size_t size) -> int64_t {
        DWORD got = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>(size, MAXDWORD));
        if (ReadFile(file, buffer, wanted, &got, nullptr)) return got;
        error = unreadable(GetLastError());
        failed = true;
        return -1;
      };
      if (read_bounded(read_some, size, max_size, bytes, error, larger == size_rule::keep_start))
        refusal = file_refusal::none;
      else if (!failed)
        refusal = file_refusal::too_large;
    }
  }
  CloseHandle(file);
  return refusal;
}
