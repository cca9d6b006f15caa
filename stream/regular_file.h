#pragma once
// Reading a whole file that the user or another program may have replaced with something
// else: only a regular file is read, never a folder, a pipe or a device (opening never
// blocks on a pipe), and never more than a cap. One implementation file per system
// (regular_file_posix.cpp, regular_file_windows.cpp). Any thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Why a file was not read. Only absent means that nothing is there: a file that is there
// but could not be read may hold something worth keeping.
enum class file_refusal {
  none,
  absent,      // nothing at the path (or a folder on the way is missing)
  not_a_file,  // a folder, a pipe, a device, or a link where links are refused
  too_large,   // more than the cap
  unreadable,  // there, but not readable now: permission, an I/O error, too many open
               // files, another program holding it without sharing
};

enum class link_rule {
  follow,  // a link at the path is read through
  refuse,  // a link at the path (its last part) is not a file, and is not read
};
enum class size_rule {
  refuse_larger,  // a file larger than the cap is refused
  keep_start,     // a larger file gives its first cap bytes
};

// The whole content of the regular file at path, when it holds at most max_size bytes.
// Otherwise why not, with a short reason in error ("is a folder, not a file", "is a link,
// not a file", "is too large ...", "cannot be read (...)"); bytes is then unspecified.
file_refusal read_regular_file_why(const std::string& path, size_t max_size,
                                   std::vector<uint8_t>& bytes, std::string& error,
                                   link_rule links = link_rule::follow,
                                   size_rule larger = size_rule::refuse_larger);

// The same, true when the file was read.
inline bool read_regular_file(const std::string& path, size_t max_size, std::vector<uint8_t>& bytes,
                              std::string& error) {
  return read_regular_file_why(path, max_size, bytes, error) == file_refusal::none;
}
