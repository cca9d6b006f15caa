#pragma once
// Saving the files a player keeps, the part that differs from one system to another:
// replacing a file so that a crash, a planted link or another copy of the program saving
// at the same moment never leaves it torn, and the checks of where files may be saved.
// One implementation file per system (safe_save_posix.cpp, safe_save_windows.cpp). Any
// thread.

#include <cstddef>
#include <cstdint>
#include <string>

// Makes path's whole content bytes: they go to a new temporary file in the same folder,
// created exclusively under a name nobody can predict (stream/temporary_names.h) and never
// through a link, which is flushed to disk and renamed over path (then the folder is
// flushed). A reader sees the whole old file or the whole new one; a link at path is
// replaced, not written through, so the result is always a regular file. The folder must exist.
// False with error set when it could not be done; the old file is then as it was and no temporary
// file is left.
bool replace_file_safely(const std::string& path, const uint8_t* bytes, size_t count,
                         std::string& error);

// Creates folder and any missing parents, each private to the user (mode 0700). True
// when folder is a directory afterwards.
bool make_private_folders(const std::string& folder);

// True when folder is a directory this process may create and rename files in, or does
// not exist yet and could be made (its nearest existing ancestor is such a directory).
bool folder_can_hold_files(const std::string& folder);

// True when folder belongs to a system-wide install, where nothing may be saved whoever
// runs the program (even an administrator, whom permissions do not stop): it lies in the
// system's own folders, or it is reached through a link from a folder it does not lie in
// (an installed program's data kept apart from the program).
bool is_installed_folder(const std::string& folder);

// Serialises the read-modify-save of other copies of the program saving in folder, for
// as long as it lives. Best effort: when the folder cannot be locked within a couple of
// seconds (it is missing, or something else holds it) saving goes on without it.
class save_lock {
 public:
  explicit save_lock(const std::string& folder);
  ~save_lock();
  save_lock(const save_lock&) = delete;
  save_lock& operator=(const save_lock&) = delete;
  bool held() const { return held_; }

 private:
  intptr_t handle_ = -1;
  bool held_ = false;
};
