#include <SDL.h>

#include <algorithm>

#include "game/system_message.h"
#include "input/system.h"
#include "render/graphics.h"
#include "stream/program_folder.h"

void show_stopping_message(const std::string& title, const std::string& text) {
  // Over the game's window while it is open: a box behind a full-screen window would wait
  // unseen. Before the window opens, the box stands on its own.
  if (GraphicsWidth() != 0) {
    SystemDriver()->Notify(text, 1);
    return;
  }
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title.c_str(), text.c_str(), nullptr);
}

std::string shown_path(const std::string& path) {
  std::string shown = path.empty() ? path : AbsolutePath(path);
  std::replace(shown.begin(), shown.end(), '/', '\\');
  return shown;
}
