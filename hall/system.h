#pragma once
// What the hall asks of the system (POSIX): its data folder to itself, and giving up root.

#include <sys/types.h>
#include <string>

// Creates folder if needed and locks it for this process (released when the process ends):
// false with a message when another hall holds it or it cannot be made.
bool lock_data_folder(const std::string& folder, std::string& error);

struct system_user {
  std::string name;
  uid_t uid = 0;
  gid_t gid = 0;
};
bool find_user(const std::string& name, system_user& user, std::string& error);
// Becomes user for good (groups, group, user); false with a message when any step fails or
// root could be taken back.
bool become_user(const system_user& user, std::string& error);
// The running executable's path, as the system knows it.
std::string own_executable();
