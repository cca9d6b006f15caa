#include <cstdlib>

#include "game/files.h"

std::string player_folder() {
  return player_folder_from(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

bool player_folder_shared_with_portable_copies() {
  return true;
}
