#pragma once
// Helpers for the screen, menu and sound tests: reading text and sprites back from the
// headless driver's recorded calls, and the simulated audio driver's channels.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "game/globals.h"
#include "render/font.h"
#include "render/headless/headless_driver.h"
#include "render/image.h"
#include "render/pixmap.h"
#include "tools/sim/sim_audio.h"

// One run of glyphs drawn back to back: the text (blank glyphs such as spaces draw
// nothing, so they are missing) and the state of its first glyph.
struct drawn_text {
  std::string text;
  float pen_x = 0.0f;  // where the pen started (the glyph's own offset taken off)
  float pen_y = 0.0f;
  THeadlessCall first;
};

// The texts drawn in calls with game_font, in drawing order.
inline std::vector<drawn_text> drawn_texts(const std::vector<THeadlessCall>& calls) {
  std::map<const void*, std::shared_ptr<TImageGlyph>> glyphs;
  std::map<const void*, char> characters;
  for (int code = 33; code < 127; ++code) {
    const int32_t index = game_font->CharToGlyph(code);
    if (index < 0) continue;
    auto glyph = game_font->LoadGlyph(index);
    if (!glyph || !glyph->_image || glyph->_image->pixmaps.empty()) continue;
    const void* pixels = glyph->_image->pixmaps[0].get();
    glyphs[pixels] = glyph;
    characters[pixels] = static_cast<char>(code);
  }
  std::vector<drawn_text> texts;
  bool in_run = false;
  for (const auto& call : calls) {
    const auto found = call.kind == "DrawFrame" ? characters.find(call.pixmap) : characters.end();
    if (found == characters.end()) {
      in_run = false;
      continue;
    }
    if (!in_run) {
      drawn_text text;
      const auto& glyph = glyphs[call.pixmap];
      text.pen_x = call.args[4] - static_cast<float>(glyph->_x) * call.ix;
      text.pen_y = call.args[5] - static_cast<float>(glyph->_y) * call.jy;
      text.first = call;
      texts.push_back(text);
      in_run = true;
    }
    texts.back().text += found->second;
  }
  return texts;
}

// Text with its spaces taken out, as drawn_text reports it.
inline std::string without_spaces(const std::string& text) {
  std::string result;
  for (char c : text)
    if (c != ' ') result += c;
  return result;
}

// Every drawn text equal to wanted (spaces ignored).
inline std::vector<drawn_text> texts_reading(const std::vector<THeadlessCall>& calls,
                                             const std::string& wanted) {
  std::vector<drawn_text> matches;
  for (const auto& text : drawn_texts(calls))
    if (text.text == without_spaces(wanted)) matches.push_back(text);
  return matches;
}

// The DrawFrame calls of an image's frame.
inline std::vector<THeadlessCall> frames_drawn(const std::vector<THeadlessCall>& calls,
                                               const std::shared_ptr<TImage>& image,
                                               int32_t frame = 0) {
  std::vector<THeadlessCall> drawn;
  const void* pixels = image->pixmaps.at(static_cast<size_t>(frame)).get();
  for (const auto& call : calls)
    if (call.kind == "DrawFrame" && call.pixmap == pixels) drawn.push_back(call);
  return drawn;
}

// ---------------------------------------------------------------------------
// The game fixture with recorded draw calls.

#include "game/sounds.h"
#include "game_fixture.h"

class ScreensTest : public GameTest {
 protected:
  // Runs one frame and returns the calls the headless driver received during it.
  std::vector<THeadlessCall> frame_calls() {
    auto driver = HeadlessGraphicsDriver();
    driver->SetRecording(true);
    driver->ClearCalls();
    step();
    std::vector<THeadlessCall> calls = driver->Calls();
    driver->ClearCalls();
    driver->SetRecording(false);
    return calls;
  }

  // The simulator's audio driver, which has kept every channel since start-up.
  static sim_audio_driver& sim_audio() { return sim_audio_driver::instance(); }

  // The text the hovered item is drawn with: its label at scale 1.2.
  static std::vector<std::string> enlarged_texts(const std::vector<THeadlessCall>& calls) {
    std::vector<std::string> found;
    for (const auto& text : drawn_texts(calls))
      if (text.first.ix > 1.19f && text.first.ix < 1.21f) found.push_back(text.text);
    return found;
  }

  void click_at(int32_t x, int32_t y) {
    next_frame(sim_event_kind::mouse_move, 0, x, y);
    next_frame(sim_event_kind::mouse_down, 1);
    next_frame(sim_event_kind::mouse_up, 1);
    step();
  }
};
