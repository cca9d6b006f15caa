#include "render/graphics.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "input/event.h"
#include "input/input.h"
#include "render/display.h"
#include "render/frame_pacer.h"

namespace {

struct GraphicsModule {
  std::shared_ptr<TGraphicsDriver> driver;
  int32_t default_flags = GFX_BACK_BUFFER;
  std::shared_ptr<TGraphics> current;
  std::shared_ptr<TGraphics> opened;  // the graphics made by OpenGraphics
  int32_t width = 0, height = 0, depth = 0, hertz = 0, flags = 0;
  std::vector<TGraphicsMode> modes;
  int32_t seq = 0;
  TFramePacer pacer;
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

// The display or its mode changed (another monitor, a new size or refresh rate): the paced
// flip probes the display again.
std::shared_ptr<TObject> NoteDisplayChange(int32_t, const std::shared_ptr<TObject>& data,
                                           const std::shared_ptr<TObject>&) {
  const auto* event = dynamic_cast<const TEvent*>(data.get());
  if (event && (event->id == EVENT_WINDOWMOVE || event->id == EVENT_WINDOWSIZE)) {
    Module().pacer.DisplayChanged();
  }
  return data;
}

void EndGraphicsAtExit() {
  EndGraphics();
}

std::string& KeptFailure() {
  static std::string reason;
  return reason;
}

}  // namespace

void ReportGraphicsFailure(const std::string& reason) {
  std::fprintf(stderr, "render: %s\n", reason.c_str());
  KeptFailure() = reason;
}

const std::string& GraphicsFailure() {
  return KeptFailure();
}

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
    ReportGraphicsFailure("no graphics driver installed");
    return nullptr;
  }
  try {
    return driver->CreateGraphics(width, height, depth, hertz, flags | Module().default_flags);
  } catch (const std::exception& error) {
    ReportGraphicsFailure(error.what());
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
  // The window is on the screen: a click on its close button, or the session ending, is
  // heard from now on, also while the pacing is set up (up to a second of flips, during
  // which the system's events are pumped).
  EnableInputPolling(nullptr);
  AdvanceSeq();
  SetCurrentGraphics(g);

  std::shared_ptr<TGraphicsDriver> driver = g->Driver();
  if (driver) m.pacer.Open(CurrentDisplay(), *driver, hertz, depth != 0);

  m.opened = g;
  if (depth != 0) MoveMouse(width / 2, height / 2);
  AddHook(EmitEventHook, NoteDisplayChange);
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
  RemoveHook(EmitEventHook, NoteDisplayChange);
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
  } else {
    m.pacer.Flip(display, *m.driver);
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
  return m.pacer.Pacing();
}
