#include "hall/system.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

bool lock_data_folder(const std::string& folder, std::string& error) {
  std::error_code made;
  std::filesystem::create_directories(folder, made);
  if (made) {
    error = "cannot make " + folder + ": " + made.message();
    return false;
  }
  const std::string path = folder + "/hall.lock";
  // Kept open (and so locked) for the life of the process; not passed to children.
  const int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (descriptor < 0) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    error = errno == EWOULDBLOCK ? "another vextral-hall is using " + folder
                                 : "cannot lock " + path + ": " + std::strerror(errno);
    close(descriptor);
    return false;
  }
  return true;
}

bool find_user(const std::string& name, system_user& user, std::string& error) {
  errno = 0;
  const passwd* entry = getpwnam(name.c_str());
  if (!entry) {
    error = "no user named " + name;
    return false;
  }
  user.name = name;
  user.uid = entry->pw_uid;
  user.gid = entry->pw_gid;
  return true;
}

bool become_user(const system_user& user, std::string& error) {
  if (user.uid == 0) {
    error = "--user must name a user other than root";
    return false;
  }
  if (setgroups(0, nullptr) != 0 || setgid(user.gid) != 0 || setuid(user.uid) != 0) {
    error = "cannot become " + user.name + ": " + std::strerror(errno);
    return false;
  }
  if (setuid(0) == 0 || geteuid() == 0) {
    error = "root could be taken back after becoming " + user.name;
    return false;
  }
  return true;
}

std::string own_executable() {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}
