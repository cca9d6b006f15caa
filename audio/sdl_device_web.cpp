// A browser page has one thread: SDL's audio callback runs on it between the game's frames
// (while the game yields), and tops the ring up just before it copies from it. The two
// sides never run at once, so the rings between them need nothing more.

#include <pthread.h>

#include <memory>

#include "audio/mixer.h"

extern "C" {
// In sdl_audio_web.js: keeps the JavaScript helpers SDL's audio needs in the link.
void vextral_keep_sdl_audio_helpers();

// The ring's service thread, which is never started here, names itself; Emscripten's C
// library without threads has no such call.
int pthread_setname_np(pthread_t, const char*) {
  return 0;
}
}

audiodevice* MakeSdlDevice() {
  vextral_keep_sdl_audio_helpers();
  auto device = std::make_shared<ringdevice*>(nullptr);
  auto hardware = MakeSdlRingHardware([device] {
    if (*device != nullptr) (*device)->service();
  });
  auto* ring = new ringdevice(std::move(hardware), false);
  *device = ring;
  return ring;
}
