// The browser's display. A page reaches the screen only when the program gives the browser
// its turn, so every wait is a yield (emscripten_sleep, the program being built with
// ASYNCIFY), and SDL's buffer swap yields as well. The browser tells no refresh rate and no
// swap interval holds, so frames are paced on the 60 Hz schedule of the performance clock.

#include <emscripten.h>

#include <cmath>

#include "render/display.h"
#include "render/graphics.h"

namespace {

class BrowserDisplay : public TDisplay {
 public:
  int64_t Now() override { return static_cast<int64_t>(emscripten_get_now() * 1e6); }

  // A browser's timers wake late, never early: sleep the whole milliseconds left.
  void SleepUntil(int64_t deadline) override {
    const double millis = std::floor(static_cast<double>(deadline - Now()) / 1e6);
    if (millis >= 1) emscripten_sleep(static_cast<unsigned>(millis));
  }

  void Flip(TGraphicsDriver& driver, int32_t sync) override { driver.Flip(sync); }
  double RefreshRate(TGraphicsDriver&) override { return 0.0; }
  bool AdaptiveSync(TGraphicsDriver&) override { return false; }
  bool Unpaced(TGraphicsDriver& driver) override { return driver.Unpaced(); }
};

}  // namespace

TDisplay& SystemDisplay() {
  static BrowserDisplay browser;
  return browser;
}
