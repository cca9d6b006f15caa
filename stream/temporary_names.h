#pragma once
// The names replace_file_safely (stream/safe_save.h) gives its temporary files, the same on
// every system: ".<file name>.<twelve letters and digits>" in the file's own folder, and
// the clearing of those that a save cut short (a crash, a power cut) left behind. Any
// thread.

#include <chrono>
#include <string>
#include <vector>

// A temporary file older than this is no save in progress: a save takes moments (with
// room for a slow disk, and for a clock that differs from the file server's).
constexpr std::chrono::hours stale_temporary_age{1};

// Twelve letters and digits from the system's random source (the clock and a counter
// when there is none).
std::string random_name_suffix();

// The name of a new temporary file for the file named file_name, with a random suffix.
std::string temporary_name_for(const std::string& file_name);

// True when name is one temporary_name_for(file_name) could have given.
bool is_temporary_name_for(const std::string& name, const std::string& file_name);

// The suffixes the next temporary names take, before random ones again: lets a test plant
// something where a save will put its temporary file.
void use_temporary_suffixes_next(const std::vector<std::string>& suffixes);

// Removes from folder the regular files named as temporaries of any of file_names that
// were last written stale_temporary_age or more ago. Links, folders and anything else
// are left alone, and so is anything it cannot remove. Call it while holding the folder's
// save_lock, so that no save of another copy of the program is under way there.
void remove_stale_temporaries(const std::string& folder,
                              const std::vector<std::string>& file_names);
