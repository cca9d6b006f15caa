// A heavy game frame on OpenGL (llvmpipe under Xvfb): the real start-up, then level 6 with
// five large asteroids shattered into their pieces (kept topped up), the UFO and its shot,
// 300 particles, stereo on and the HUD. A frame's time is its work, from the frame hook to
// the flip hook, plus its present, from the end of the pacing sleep to the end of the
// page flip, each after glFinish: the pacing sleep is left out. An occlusion query counts
// the pixels each frame draws; bench/peers/gl_array draws as many as one vertex array.
// With VEXTRAL_GL_CONTEXT=es the game draws through an OpenGL ES context and the figures are
// reported as heavy_es_* (no pixel count: ES has no such query).

#include <SDL2/SDL.h>
#include "render/gl/gl_api.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/compare/bench_clock.h"
#include "game/asteroids.h"
#include "game/effects.h"
#include "game/files.h"
#include "game/globals.h"
#include "game/main_loop.h"
#include "game/player.h"
#include "game/ufo.h"
#include "input/event.h"
#include "render/display.h"
#include "render/graphics.h"
#include "render/render2d.h"

namespace {

// Occlusion queries, desktop OpenGL only: looked up here, not part of the driver's API.
constexpr GLenum GL_SAMPLES_PASSED = 0x8914;
constexpr GLenum GL_QUERY_RESULT = 0x8866;
using begin_query_fn = void (*)(GLenum, GLuint);
using end_query_fn = void (*)(GLenum);
using query_result_fn = void (*)(GLuint, GLenum, GLuint*);
using gen_queries_fn = void (*)(GLsizei, GLuint*);

struct frame_probe {
  begin_query_fn begin = nullptr;
  end_query_fn end = nullptr;
  query_result_fn result = nullptr;
  GLuint query = 0;
  bool measuring = false;
  double start = 0;
  double work_end = 0;
  std::vector<double> work_ms;
  std::vector<double> present_ms;
  std::vector<double> frame_ms;
  std::vector<double> pixels;
} probe;

// The real display, with the page flip of each measured frame timed.
class timed_display : public TDisplay {
 public:
  explicit timed_display(TDisplay& real) : real_(real) {}
  int64_t Now() override { return real_.Now(); }
  void SleepUntil(int64_t deadline) override { real_.SleepUntil(deadline); }
  void Flip(TGraphicsDriver& driver, int32_t sync) override {
    const double start = bench::now_seconds();
    real_.Flip(driver, sync);
    if (probe.work_end == 0) return;
    glFinish();
    const double present = (bench::now_seconds() - start) * 1e3;
    const double work = probe.work_ms.back();
    probe.present_ms.push_back(present);
    probe.frame_ms.push_back(work + present);
    probe.work_end = 0;
  }
  double RefreshRate(TGraphicsDriver& driver) override { return real_.RefreshRate(driver); }
  bool AdaptiveSync(TGraphicsDriver& driver) override { return real_.AdaptiveSync(driver); }
  bool Unpaced(TGraphicsDriver& driver) override { return real_.Unpaced(driver); }

 private:
  TDisplay& real_;
};

double shot_frames = 0;

std::shared_ptr<TObject> flip_hook(int32_t, const std::shared_ptr<TObject>& data,
                                   const std::shared_ptr<TObject>&) {
  if (!probe.measuring) return data;
  glFinish();
  probe.work_end = bench::now_seconds();
  probe.work_ms.push_back((probe.work_end - probe.start) * 1e3);
  if (probe.query) {
    probe.end(GL_SAMPLES_PASSED);
    GLuint samples = 0;
    probe.result(probe.query, GL_QUERY_RESULT, &samples);
    probe.pixels.push_back(samples);
  }
  probe.measuring = false;
  return data;
}

// Five large asteroids just shot: each leaves its two pieces, an explosion and debris.
void shatter_large_asteroids() {
  for (int32_t i = 0; i < 5; ++i) {
    const float x = 80.0f + 120.0f * static_cast<float>(i),
                y = 120.0f + 60.0f * static_cast<float>(i % 3);
    astro_tag::create_new(1, 2, x, y, 0.8f, 0.6f);
    explo_tag::create_it(x, y, 1.0f);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t frames = bench::quick(argc, argv) ? 300 : 1200;
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  // The sounds are read from data/ beside the executable, as the game does.
  std::filesystem::current_path(std::filesystem::read_symlink("/proc/self/exe").parent_path());
  startup_options options;
  options.fixed_seed = true;
  options.seed = 21;
  SetDisplay(std::make_shared<timed_display>(CurrentDisplay()));
  if (!game_startup(options)) return 1;
  const char* context = std::getenv("VEXTRAL_GL_CONTEXT");
  const bool es = context && std::string(context) == "es";
  const std::string prefix = es ? "heavy_es_" : "heavy_";
  probe.begin = reinterpret_cast<begin_query_fn>(SDL_GL_GetProcAddress("glBeginQuery"));
  probe.end = reinterpret_cast<end_query_fn>(SDL_GL_GetProcAddress("glEndQuery"));
  probe.result = reinterpret_cast<query_result_fn>(SDL_GL_GetProcAddress("glGetQueryObjectuiv"));
  auto gen = reinterpret_cast<gen_queries_fn>(SDL_GL_GetProcAddress("glGenQueries"));
  if (!es && probe.begin && probe.end && probe.result && gen) gen(1, &probe.query);
  AddHook(FlipHookId(), flip_hook);

  player_tag::reset(1);
  game_state = STATE_PLAY;
  player->level = 6;
  player->cloak_ctr = 1 << 30;
  stereo_mode = 3;
  stereo_settings(0);
  ufo->scale = 0.2f;
  frame_hook = [] {
    if (ufo_on == 0) ufo->warp_in();
    if (astro_list.empty()) shatter_large_asteroids();
    if (parti_list.size() < 300)
      parti_tag::create_em(320, 240, static_cast<int32_t>(300 - parti_list.size()), 1);
    game_state = STATE_PLAY;
    shot_frames += ufo->shot_on != 0;
    probe.start = bench::now_seconds();
    probe.measuring = true;
    if (probe.query) probe.begin(GL_SAMPLES_PASSED, probe.query);
  };
  for (int32_t i = 0; i < frames; ++i) main_loop_frame();
  frame_hook = nullptr;

  for (auto* times : {&probe.work_ms, &probe.present_ms, &probe.frame_ms})
    times->erase(times->begin(), times->begin() + 30);  // warm-up frames
  bench::report((prefix + "frames").c_str(), static_cast<double>(probe.frame_ms.size()));
  bench::report((prefix + "median_ms").c_str(), bench::percentile(probe.frame_ms, 50.0));
  bench::report((prefix + "p99_ms").c_str(), bench::percentile(probe.frame_ms, 99.0));
  bench::report((prefix + "work_median_ms").c_str(), bench::percentile(probe.work_ms, 50.0));
  bench::report((prefix + "present_median_ms").c_str(), bench::percentile(probe.present_ms, 50.0));
  if (!es) bench::report("heavy_pixels", bench::percentile(probe.pixels, 50.0));
  bench::report((prefix + "asteroids").c_str(), static_cast<double>(astro_list.size()));
  bench::report((prefix + "ufo_shot_frames_percent").c_str(), 100.0 * shot_frames / frames);
  bench::report((prefix + "particles").c_str(), static_cast<double>(parti_list.size()));
  std::fflush(stdout);
  std::_Exit(0);  // skips saving the settings files beside the executable
}
