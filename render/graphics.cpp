#include "render/graphics.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <limits>

#include "input/event.h"
#include "input/input.h"
#include "render/display.h"

namespace {

struct PacingState {
  bool enabled = false;
  int32_t hertz = 0;
  // When the current frame should end, in nanoseconds of the display's clock: whole
  // milliseconds would make frames alternate between 16 and 17 ms at 60 Hz.
  int64_t deadline = 0;
  int64_t period_ns = 0;
  int64_t remainder_ns = 0;  // nanoseconds left over per second
  int64_t accumulator_ns = 0;
  // The sync frames flip with: without software pacing, the swap interval that lets the
  // display keep the rate (1, or refresh / hertz on a display at a multiple of it); with
  // it, 1 on a display that synchronises (each frame waits for the first blank after its
  // deadline, so none tears) and 0 on one that does not.
  int32_t swap_interval = 1;
  bool adaptive = false;  // a late frame flips with -1 instead of waiting a whole refresh
  // While the display paces the frames, flips are watched: a driver that cannot set an
  // interval above 1 flips too fast, and so does a display that only looked paced because
  // a busy machine made three flips take a period each. Software pacing then takes over.
  int32_t checks_left = 0;
  int32_t fast_flips = 0;
  int64_t last_flip = 0;
};

struct GraphicsModule {
  std::shared_ptr<TGraphicsDriver> driver;
  int32_t default_flags = GFX_BACK_BUFFER;
  std::shared_ptr<TGraphics> current;
  std::shared_ptr<TGraphics> opened;  // the graphics made by OpenGraphics
  int32_t width = 0, height = 0, depth = 0, hertz = 0, flags = 0;
  std::vector<TGraphicsMode> modes;
  int32_t seq = 0;
  PacingState pacing;
  int32_t flip_hook = -1;
  bool exit_registered = false;
  std::string title = "Vextral";
};

GraphicsModule& Module() {
  static GraphicsModule module;
  return module;
}

void ClearSettings(GraphicsModule& m) {
  m.width = m.height = m.depth = m.hertz = m.flags = 0;
}

void AdvanceSeq() {
  GraphicsModule& m = Module();
  // Wraps through the negative values and skips 0, which marks "no frame".
  m.seq = static_cast<int32_t>(static_cast<uint32_t>(m.seq) + 1u);
  if (m.seq == 0) m.seq = 1;
}

constexpr int64_t kNanosPerSecond = 1000000000;
constexpr int64_t kNanosPerMilli = 1000000;

struct ProbeResult {
  bool paces = false;         // the display flips at the requested rate by itself
  int64_t steady_period = 0;  // flips blocked for about this long each (0: they did not)
};

// The period a run of early-returning flips blocked for, if steady: most of them within a
// tenth of their median. Flips shorter than 2 ms only copied the page and did not wait.
int64_t SteadyPeriod(std::array<int64_t, 10> durations) {
  std::sort(durations.begin(), durations.end());
  const int64_t median = (durations[4] + durations[5]) / 2;
  if (median < 2 * kNanosPerMilli) return 0;
  const auto near = std::count_if(durations.begin(), durations.end(), [median](int64_t d) {
    return std::llabs(d - median) * 10 <= median;
  });
  return near >= 8 ? median : 0;
}

// Flips with sync 1 to see whether the hardware already flips at the requested rate: three
// flips in a row whose durations lie within a millisecond of the period, tried for at most a
// second. Ten flips in a row that return early end the probe sooner, and tell whether they
// blocked at a steady, shorter period (a faster display).
ProbeResult ProbeHardwarePacing(TDisplay& display, TGraphicsDriver& driver, int32_t hertz) {
  const int64_t period = 1000 / hertz;
  const int64_t start = display.Now();
  int32_t matches = 0;
  std::array<int64_t, 10> early{};
  size_t returned_early = 0;
  while (display.Now() - start < kNanosPerSecond) {
    const int64_t before = display.Now();
    display.Flip(driver, 1);
    const int64_t after = display.Now();
    // Whole milliseconds as a millisecond clock would show them.
    const int64_t difference = after / kNanosPerMilli - before / kNanosPerMilli - period;
    if (difference >= -1 && difference <= 1) {
      if (++matches == 3) return {true, 0};
      returned_early = 0;
    } else {
      matches = 0;
      // Flips that keep returning well inside the period are not waiting for a display at
      // this rate (a faster, virtual or composited screen): no need to spend the whole
      // second finding out.
      if (difference < -1) {
        early[returned_early] = after - before;
        if (++returned_early == early.size()) return {false, SteadyPeriod(early)};
      } else {
        returned_early = 0;
      }
    }
  }
  return {};
}

void WatchFlips(PacingState& pacing, int32_t flips) {
  pacing.checks_left = flips;
  pacing.fast_flips = 0;
  pacing.last_flip = 0;
}

// Decides how Flip(-1) keeps the requested rate on a full-screen display.
void ChoosePacing(TDisplay& display, TGraphicsDriver& driver, int32_t hertz, PacingState& pacing) {
  const ProbeResult probe = ProbeHardwarePacing(display, driver, hertz);
  if (probe.paces) {
    pacing.enabled = false;
    pacing.swap_interval = 1;
    // Watched for as long as the graphics stay open: one clock read a frame, and a machine
    // that was still busy loading during the first frames can be caught later.
    WatchFlips(pacing, std::numeric_limits<int32_t>::max());
    return;
  }
  const double reported = display.RefreshRate(driver);
  if (reported > 0.0 && probe.steady_period > 0) {
    // A display at a whole multiple of the rate shows every frame for the same number of
    // refreshes; the flips must really block at that refresh, or nothing would pace them.
    const double multiple = std::round(reported / hertz);
    const double blocked_hz = static_cast<double>(kNanosPerSecond) / probe.steady_period;
    if (multiple >= 2.0 && std::fabs(reported - multiple * hertz) <= 0.005 * multiple * hertz &&
        std::fabs(blocked_hz - reported) <= 0.1 * reported) {
      pacing.enabled = false;
      pacing.swap_interval = static_cast<int32_t>(multiple);
      WatchFlips(pacing, 30);
      return;
    }
  }
  if (reported > 0.0 || probe.steady_period > 0) {
    pacing.swap_interval = 1;
    pacing.adaptive = display.AdaptiveSync(driver);
  }
}

// Called after each watched flip: three flips in a row that came well inside the period mean
// the display is not pacing them.
void CheckWatchedFlip(TDisplay& display, TGraphicsDriver& driver, PacingState& pacing) {
  const int64_t now = display.Now();
  if (pacing.last_flip != 0) {
    pacing.fast_flips =
        now - pacing.last_flip < pacing.period_ns * 3 / 4 ? pacing.fast_flips + 1 : 0;
    if (pacing.fast_flips == 3) {
      pacing.enabled = true;
      pacing.swap_interval = 1;
      pacing.adaptive = display.AdaptiveSync(driver);
      pacing.deadline = now;
      pacing.checks_left = 0;
      return;
    }
  }
  pacing.last_flip = now;
  --pacing.checks_left;
}

void EndGraphicsAtExit() {
  EndGraphics();
}

}  // namespace

std::string TGraphicsMode::ToString() const {
  return std::to_string(width) + "," + std::to_string(height) + "," + std::to_string(depth) + " " +
         std::to_string(hertz) + "Hz";
}

void SetAppTitle(const std::string& title) {
  Module().title = title;
}

const std::string& AppTitle() {
  return Module().title;
}

void SetGraphicsDriver(std::shared_ptr<TGraphicsDriver> driver, int32_t default_flags) {
  GraphicsModule& m = Module();
  if (driver != m.driver) {
    if (m.driver) m.driver->SetGraphics(nullptr);
    m.modes.clear();
  }
  m.driver = std::move(driver);
  m.default_flags = default_flags;
  m.current = nullptr;
  ClearSettings(m);
}

std::shared_ptr<TGraphicsDriver> GetGraphicsDriver() {
  return Module().driver;
}

std::vector<TGraphicsMode> GraphicsModes() {
  GraphicsModule& m = Module();
  std::shared_ptr<TGraphicsDriver> driver = GetGraphicsDriver();
  if (m.modes.empty() && driver) m.modes = driver->GraphicsModes();
  return m.modes;
}

int32_t CountGraphicsModes() {
  return static_cast<int32_t>(GraphicsModes().size());
}

void GetGraphicsMode(int32_t index, int32_t& width, int32_t& height, int32_t& depth,
                     int32_t& hertz) {
  std::vector<TGraphicsMode> modes = GraphicsModes();
  width = height = depth = hertz = 0;
  if (index < 0 || index >= static_cast<int32_t>(modes.size())) return;
  const TGraphicsMode& mode = modes[static_cast<size_t>(index)];
  width = mode.width;
  height = mode.height;
  depth = mode.depth;
  hertz = mode.hertz;
}

int32_t GraphicsModeExists(int32_t width, int32_t height, int32_t depth, int32_t hertz) {
  for (const TGraphicsMode& mode : GraphicsModes()) {
    if (width && mode.width != width) continue;
    if (height && mode.height != height) continue;
    if (depth && mode.depth != depth) continue;
    if (hertz && mode.hertz != hertz) continue;
    return 1;
  }
  return 0;
}

std::shared_ptr<TGraphics> CreateGraphics(int32_t width, int32_t height, int32_t depth,
                                          int32_t hertz, int32_t flags) {
  std::shared_ptr<TGraphicsDriver> driver = GetGraphicsDriver();
  if (!driver) {
    std::fprintf(stderr, "render: no graphics driver installed\n");
    return nullptr;
  }
  try {
    return driver->CreateGraphics(width, height, depth, hertz, flags | Module().default_flags);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "render: %s\n", error.what());
    return nullptr;
  }
}

std::shared_ptr<TGraphics> AttachGraphics(void* window, int32_t flags) {
  std::shared_ptr<TGraphicsDriver> driver = GetGraphicsDriver();
  if (!driver) return nullptr;
  try {
    return driver->AttachGraphics(window, flags | Module().default_flags);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "render: %s\n", error.what());
    return nullptr;
  }
}

void SetCurrentGraphics(std::shared_ptr<TGraphics> g) {
  GraphicsModule& m = Module();
  if (!g) {
    if (m.driver) m.driver->SetGraphics(nullptr);
    m.current = nullptr;
    ClearSettings(m);
    return;
  }
  std::shared_ptr<TGraphicsDriver> driver = g->Driver();
  if (!driver) return;  // a closed graphics cannot be made current
  if (driver != m.driver) {
    if (m.driver) m.driver->SetGraphics(nullptr);
    m.driver = driver;
    m.modes.clear();
  }
  g->GetSettings(m.width, m.height, m.depth, m.hertz, m.flags);
  // Current before the driver replays the render state, which flips through this module.
  m.current = g;
  driver->SetGraphics(g);
}

std::shared_ptr<TGraphics> CurrentGraphics() {
  return Module().current;
}

void CloseGraphics(std::shared_ptr<TGraphics> g) {
  if (!g) return;
  GraphicsModule& m = Module();
  if (g == m.opened) m.opened = nullptr;
  if (g == m.current) SetCurrentGraphics(nullptr);
  g->Close();
}

std::shared_ptr<TGraphics> OpenGraphics(int32_t width, int32_t height, int32_t depth, int32_t hertz,
                                        int32_t flags) {
  EndGraphics();
  GraphicsModule& m = Module();
  std::shared_ptr<TGraphics> g = CreateGraphics(width, height, depth, hertz, flags);
  if (!g) return nullptr;
  AdvanceSeq();
  SetCurrentGraphics(g);

  PacingState& pacing = m.pacing;
  TDisplay& display = CurrentDisplay();
  pacing.enabled = hertz != 0;
  pacing.swap_interval = 0;
  pacing.adaptive = false;
  pacing.checks_left = 0;
  std::shared_ptr<TGraphicsDriver> driver = g->Driver();
  if (pacing.enabled && driver && display.Unpaced(*driver)) pacing.enabled = false;
  if (pacing.enabled && depth != 0 && driver) ChoosePacing(display, *driver, hertz, pacing);
  if (!pacing.enabled && depth != 0 && pacing.swap_interval == 0) pacing.swap_interval = 1;
  pacing.hertz = hertz;
  pacing.period_ns = hertz > 0 ? kNanosPerSecond / hertz : 0;
  pacing.remainder_ns = kNanosPerSecond - pacing.period_ns * hertz;
  pacing.accumulator_ns = 0;
  pacing.deadline = display.Now();

  m.opened = g;
  if (depth != 0) MoveMouse(width / 2, height / 2);
  EnableInputPolling(nullptr);
  if (!m.exit_registered) {
    m.exit_registered = true;
    std::atexit(EndGraphicsAtExit);
  }
  return g;
}

void EndGraphics() {
  GraphicsModule& m = Module();
  if (!m.opened) return;
  AdvanceSeq();
  DisableInputPolling();
  CloseGraphics(m.opened);
}

int32_t GraphicsWidth() {
  return Module().width;
}
int32_t GraphicsHeight() {
  return Module().height;
}
int32_t GraphicsDepth() {
  return Module().depth;
}
int32_t GraphicsHertz() {
  return Module().hertz;
}
int32_t GraphicsFlags() {
  return Module().flags;
}

void Flip(int32_t sync) {
  GraphicsModule& m = Module();
  RunHooks(FlipHookId(), nullptr);
  if (!m.driver) return;
  TDisplay& display = CurrentDisplay();
  if (sync != -1) {
    display.Flip(*m.driver, sync);
  } else if (m.current != m.opened || !m.opened) {
    display.Flip(*m.driver, m.depth != 0 ? 1 : 0);
  } else if (!m.pacing.enabled) {
    display.Flip(*m.driver, m.pacing.swap_interval);
    if (m.pacing.checks_left > 0) CheckWatchedFlip(display, *m.driver, m.pacing);
  } else {
    PacingState& pacing = m.pacing;
    pacing.deadline += pacing.period_ns;
    pacing.accumulator_ns += pacing.remainder_ns;
    if (pacing.accumulator_ns >= pacing.hertz) {
      pacing.accumulator_ns -= pacing.hertz;
      pacing.deadline += 1;
    }
    const int64_t now = display.Now();
    if (pacing.deadline > now) {
      display.SleepUntil(pacing.deadline);
      display.Flip(*m.driver, pacing.swap_interval);
    } else {
      // A late frame gets a full period next, not a burst of catch-up.
      pacing.deadline = now;
      display.Flip(*m.driver, pacing.adaptive ? -1 : pacing.swap_interval);
    }
  }
  // Keeps the window responsive even in loops that make no input queries.
  if (m.current && !m.driver->Unpaced()) PumpEvents();
}

int32_t GraphicsSeq() {
  return Module().seq;
}

int32_t FlipHookId() {
  GraphicsModule& m = Module();
  if (m.flip_hook < 0) m.flip_hook = AllocHookId();
  return m.flip_hook;
}

bool SoftwarePacingEnabled() {
  GraphicsModule& m = Module();
  return m.current == m.opened && FramePacing().software;
}

TFramePacing FramePacing() {
  GraphicsModule& m = Module();
  if (!m.opened) return {};
  return {m.pacing.enabled, m.pacing.swap_interval, m.pacing.enabled && m.pacing.adaptive};
}
