#include <cstdlib>

#include "game/files.h"

std::string player_folder() {
  return player_folder_from(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}
