#pragma once
// Reading a whole file that the user or another program may have replaced with something
// else: only a regular file is read, never a folder, a pipe or a device (opening never
// blocks on a pipe), and never more than a cap. One implementation file per system
// (regular_file_posix.cpp here). Any thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The whole content of the regular file at path, when it holds at most max_size bytes.
// False with a short reason in error ("is a folder, not a file", "is too large ...",
// "cannot be read (...)") otherwise; bytes is then unspecified.
bool read_regular_file(const std::string& path, size_t max_size, std::vector<uint8_t>& bytes,
                       std::string& error);
