#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "stream/native_path.h"
#include "stream/safe_save.h"
#include "stream/temporary_names.h"
#include "stream/wide_text.h"

namespace fs = std::filesystem;

namespace {

constexpr int kNameAttempts = 16;
constexpr DWORD kLockWaitMillis = 2000;
// How long a replace waits for a file that another program has open: a copy of the game
// reading it, a virus scanner or the search indexer looking at the new file.
constexpr DWORD kReplaceWaitMillis = 1000;

// The absolute spelling Windows itself uses, with "\" separators and no trailing one.
std::wstring FullPath(const std::string& folder) {
  const std::wstring wide = WideFromUtf8(folder.empty() ? std::string(".") : folder);
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return {};
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  full.resize(length);
  for (wchar_t& letter : full)
    if (letter == L'/') letter = L'\\';
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  return full;
}

// Windows refuses to replace a file, or to move one, that another program has open (even
// one sharing it for deletion); that program lets go within moments.
bool MoveOverSoon(const std::wstring& from, const std::wstring& to) {
  const ULONGLONG deadline = GetTickCount64() + kReplaceWaitMillis;
  DWORD pause = 1;
  while (
      !MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD failure = GetLastError();
    if ((failure != ERROR_ACCESS_DENIED && failure != ERROR_SHARING_VIOLATION &&
         failure != ERROR_LOCK_VIOLATION) ||
        GetTickCount64() >= deadline) {
      SetLastError(failure);
      return false;
    }
    Sleep(pause);
    pause = pause < 64 ? pause * 2 : pause;
  }
  return true;
}

bool SameIgnoringCase(const wchar_t* a, int a_length, const wchar_t* b, int b_length) {
  return CompareStringOrdinal(a, a_length, b, b_length, TRUE) == CSTR_EQUAL;
}

// inner is outer or lies below it.
bool LiesWithin(const std::wstring& inner, const std::wstring& outer) {
  if (outer.empty() || inner.size() < outer.size()) return false;
  if (!SameIgnoringCase(inner.data(), static_cast<int>(outer.size()), outer.data(),
                        static_cast<int>(outer.size())))
    return false;
  return inner.size() == outer.size() || outer.back() == L'\\' || inner[outer.size()] == L'\\';
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::wstring folder;
  if (SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path) == S_OK) folder = path;
  CoTaskMemFree(path);
  return folder;
}

// Whether files can be created in an existing folder: one is, and goes again at once.
// Windows' access lists are answered only by trying.
bool CanCreateIn(const std::wstring& folder) {
  const std::wstring probe = folder + L"\\.vextral-probe-" + WideFromUtf8(random_name_suffix());
  const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

}  // namespace

bool replace_file_safely(const std::string& path, const uint8_t* bytes, size_t count,
                         std::string& error) {
  const std::wstring target = WideFromUtf8(path);
  const size_t separator = target.find_last_of(L"\\/");
  const std::wstring folder = separator == std::wstring::npos ? L"." : target.substr(0, separator);
  const std::wstring name = separator == std::wstring::npos ? target : target.substr(separator + 1);

  std::wstring temporary;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < kNameAttempts && file == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = folder + L"\\" + WideFromUtf8(temporary_name_for(Utf8FromWide(name)));
    // CREATE_NEW never opens what is already there, a link included.
    file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS &&
        GetLastError() != ERROR_ALREADY_EXISTS)
      break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    error = SystemMessage(GetLastError());
    return false;
  }

  DWORD failure = 0;
  while (count > 0 && failure == 0) {
    const DWORD chunk = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
    DWORD written = 0;
    if (!WriteFile(file, bytes, chunk, &written, nullptr) || written == 0) {
      failure = written == 0 && GetLastError() == 0 ? ERROR_WRITE_FAULT : GetLastError();
      break;
    }
    bytes += written;
    count -= written;
  }
  if (failure == 0 && !FlushFileBuffers(file)) failure = GetLastError();
  if (!CloseHandle(file) && failure == 0) failure = GetLastError();
  // The rename replaces a link at path itself, never the file it points to, and returns
  // once it is on disk.
  if (failure == 0 && !MoveOverSoon(temporary, target)) failure = GetLastError();
  if (failure != 0) {
    DeleteFileW(temporary.c_str());
    error = SystemMessage(failure);
    return false;
  }
  return true;
}

bool make_private_folders(const std::string& folder) {
  // Folders under the player's profile are the player's alone by inheritance.
  std::error_code error;
  const fs::path path = NativePath(folder.empty() ? std::string(".") : folder);
  fs::create_directories(path, error);
  return fs::is_directory(path, error);
}

bool folder_can_hold_files(const std::string& folder) {
  std::wstring path = FullPath(folder);
  while (!path.empty()) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && CanCreateIn(path);
    }
    const DWORD missing = GetLastError();
    if (missing != ERROR_FILE_NOT_FOUND && missing != ERROR_PATH_NOT_FOUND) return false;
    const size_t separator = path.find_last_of(L'\\');
    if (separator == std::wstring::npos || separator + 1 == path.size()) return false;
    // "C:\x" goes to "C:\", never to "C:" (the drive's current folder).
    path.resize(separator == 2 && path[1] == L':' ? 3 : separator);
  }
  return false;
}

bool is_installed_folder(const std::string& folder) {
  const std::wstring path = FullPath(folder);
  if (path.empty()) return false;
  for (REFKNOWNFOLDERID id : {FOLDERID_ProgramFiles, FOLDERID_ProgramFilesX86,
                              FOLDERID_ProgramFilesX64, FOLDERID_Windows}) {
    if (LiesWithin(path, KnownFolder(id))) return true;
  }
  return false;
}

// A named mutex per folder: its name is a hash of the folder's full path as Windows
// compares them (case ignored), shared by every copy of the program in the session.
save_lock::save_lock(const std::string& folder) {
  std::wstring path = FullPath(folder);
  if (path.empty()) return;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
  uint64_t hash = 1469598103934665603ULL;
  for (wchar_t letter : path) {
    hash = (hash ^ static_cast<uint16_t>(letter)) * 1099511628211ULL;
  }
  wchar_t name[64];
  std::swprintf(name, sizeof name / sizeof name[0], L"Local\\vextral-save-%016llx",
                static_cast<unsigned long long>(hash));
  const HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
  if (mutex == nullptr) return;
  handle_ = reinterpret_cast<intptr_t>(mutex);
  const DWORD waited = WaitForSingleObject(mutex, kLockWaitMillis);
  // An abandoned lock (its holder died) is held now all the same.
  held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

save_lock::~save_lock() {
  if (handle_ == -1) return;
  const HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
  if (held_) ReleaseMutex(mutex);
  CloseHandle(mutex);
}
