#include <SDL.h>

#include <algorithm>

#include "game/system_message.h"
#include "stream/program_folder.h"

void show_stopping_message(const std::string& title, const std::string& text) {
  // Without a window yet (or any more) the box stands on its own.
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title.c_str(), text.c_str(), nullptr);
}

std::string shown_path(const std::string& path) {
  std::string shown = path.empty() ? path : AbsolutePath(path);
  std::replace(shown.begin(), shown.end(), '/', '\\');
  return shown;
}
