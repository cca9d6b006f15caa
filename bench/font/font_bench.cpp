// Text costs on the headless driver: a score line once its glyphs are built (the per-frame
// cost), measuring text, and building a font's glyphs from scratch (the one-time cost).

#include <benchmark/benchmark.h>

#include "render/font.h"
#include "render/graphics.h"
#include "render/headless/headless_driver.h"

namespace {

const char kFontPath[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
const char kScoreLine[] = "SCORE 0012340   HI 0098760   SHIPS 3   LEVEL 12";

class HeadlessText {
 public:
  HeadlessText() {
    SetGraphicsDriver(HeadlessGraphicsDriver());
    OpenGraphics(640, 480, 0, 60, 0);
    HeadlessGraphicsDriver()->SetRecording(false);
  }
  ~HeadlessText() {
    EndGraphics();
    SetGraphicsDriver(nullptr);
  }
};

void BM_DrawScoreLine(benchmark::State& state) {
  HeadlessText graphics;
  std::shared_ptr<TImageFont> font = LoadImageFont(kFontPath, 22, FONT_SMOOTH);
  if (!font) {
    state.SkipWithError("font missing");
    return;
  }
  SetImageFont(state.range(0) ? font : nullptr);
  DrawText(kScoreLine, 4.0f, 0.0f);
  for (auto _ : state) DrawText(kScoreLine, 4.0f, 0.0f);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(sizeof kScoreLine - 1));
}
BENCHMARK(BM_DrawScoreLine)->Arg(0)->Arg(1)->ArgNames({"freetype"});

void BM_TextWidth(benchmark::State& state) {
  HeadlessText graphics;
  SetImageFont(LoadImageFont(kFontPath, 22, FONT_SMOOTH));
  for (auto _ : state) benchmark::DoNotOptimize(TextWidth(kScoreLine));
}
BENCHMARK(BM_TextWidth);

void BM_BuildPrintableGlyphs(benchmark::State& state) {
  for (auto _ : state) {
    std::shared_ptr<TImageFont> font = LoadImageFont(kFontPath, 22, FONT_SMOOTH);
    if (!font) {
      state.SkipWithError("font missing");
      return;
    }
    for (int32_t code = 32; code < 127; ++code) font->LoadGlyph(font->CharToGlyph(code));
  }
}
BENCHMARK(BM_BuildPrintableGlyphs)->Unit(benchmark::kMillisecond);

}  // namespace
