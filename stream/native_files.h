#pragma once
// The system calls beneath the file layer, one implementation file per system
// (native_files_posix.cpp, native_files_windows.cpp). Paths are UTF-8 and already
// normalised ("/" separators); Windows is reached through its wide-character calls.
// Any thread.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct native_status {
  int32_t type = 0;  // 0 nothing usable there, 1 regular file, 2 directory
  int64_t size = 0;
  int64_t modified = 0;  // seconds since 1970
  int32_t mode = 0;      // permission bits, e.g. 0644
};

// True when anything is there, a dangling link included (links are not followed).
bool NativeExists(const std::string& path);
// False when nothing is there; links are followed.
bool NativeStatus(const std::string& path, native_status& status);
// The names in folder without "." and "..", in no particular order. False when the
// folder cannot be read.
bool NativeListFolder(const std::string& folder, std::vector<std::string>& names);
bool NativeChangeDirectory(const std::string& path);
bool NativeSetMode(const std::string& path, int32_t mode);
// Deletes a file or link (never a directory), making a read-only file writable first.
bool NativeDeleteFile(const std::string& path);
bool NativeRename(const std::string& from, const std::string& to);
// fopen with its usual modes; a directory is never opened.
std::FILE* NativeOpenFile(const std::string& path, const char* mode);
// 64-bit positions: false / -1 on failure.
bool NativeSeek(std::FILE* file, int64_t offset, int origin);
int64_t NativeTell(std::FILE* file);
// Makes a new folder of the process's own under the system's temporary folder, named
// name_prefix and random letters; its path, or empty when none could be made.
std::string NativeMakeTemporaryFolder(const std::string& name_prefix);
