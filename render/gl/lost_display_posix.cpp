// On X11 through Xlib's handler of a lost connection. SDL has already loaded Xlib; it is
// looked up, not linked, so nothing more is loaded where the display is not X11.

#include "render/gl/lost_display.h"

#include <SDL2/SDL_video.h>
#include <dlfcn.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

namespace {

// Xlib's handler of a lost connection; it must not return.
int EndAtOnce(void*) {
  // Whatever stderr is, writing to it must not end the process another way.
  std::signal(SIGPIPE, SIG_IGN);
  static const char kLine[] = "render: the connection to the display was lost; the game ends\n";
  const ssize_t written = write(STDERR_FILENO, kLine, sizeof kLine - 1);
  static_cast<void>(written);
  _exit(1);
}

}  // namespace

void EndAtLostDisplay() {
  static bool arranged = false;
  if (arranged) return;
  const char* video = SDL_GetCurrentVideoDriver();
  if (!video || std::strcmp(video, "x11") != 0) return;
  void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
  if (!xlib) return;
  using Handler = int (*)(void*);
  using SetHandler = Handler (*)(Handler);
  const auto set_handler = reinterpret_cast<SetHandler>(dlsym(xlib, "XSetIOErrorHandler"));
  if (set_handler) set_handler(EndAtOnce);
  arranged = true;
  dlclose(xlib);  // SDL keeps it loaded
}
