#pragma once
// Paths and the file system. "\" is a separator like "/". A path that does not exist
// as spelled is matched case-insensitively, component by component, against what is
// on disk, so "Data\x.dat" reaches a folder "data". Any thread; not synchronised.

#include <cstdint>
#include <string>
#include <vector>

// "\" becomes "/"; for a directory (is_directory non-zero) a trailing "/" is removed
// unless the path is the root.
std::string NormalisePath(const std::string& path, int32_t is_directory = 0);
// The normalised path, with each component that does not exist as spelled replaced by
// the entry on disk that matches it ignoring ASCII case (the exact spelling wins, then
// the first in byte order). Components with no match are kept as spelled.
std::string ResolvePathCase(const std::string& path);

// 0 nothing there (or a path holding "<" or ">"), 1 regular file, 2 directory.
int32_t PathType(const std::string& path);
// The current directory, normalised.
std::string CurrentDirectory();
// 1 on success, 0 on failure.
int32_t ChangeDirectory(const std::string& path);

// Size in bytes of a regular file, or -1.
int64_t FileSize(const std::string& path);
// Modification time in seconds since 1970, or 0.
int64_t FileTime(const std::string& path);
// Permission bits (e.g. 0644), or -1.
int32_t FileMode(const std::string& path);
// 1 on success, 0 on failure.
int32_t SetFileMode(const std::string& path, int32_t mode);
// Creates an empty file (truncating an existing one). 1 on success, 0 on failure.
int32_t CreateFile(const std::string& path);
// Makes the file read-write for everyone, then deletes it. 1 on success, 0 on failure.
int32_t DeleteFile(const std::string& path);
// 1 on success, 0 on failure.
int32_t RenameFile(const std::string& from, const std::string& to);
// Copies a regular file's bytes (replacing to). 1 on success, 0 on failure.
int32_t CopyFile(const std::string& from, const std::string& to);
// Creates the directory, with its missing parents when recurse is non-zero. 1 when the
// directory exists afterwards, 0 otherwise.
int32_t CreateDir(const std::string& path, int32_t recurse = 0);
// Deletes the directory (it must be empty unless recurse is non-zero). 1 on success.
int32_t DeleteDir(const std::string& path, int32_t recurse = 0);
// The entry names of a directory in byte order, without "." and ".."; empty on failure.
std::vector<std::string> LoadDir(const std::string& path);
