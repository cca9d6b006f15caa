#pragma once
// Helpers for the screen, menu and sound tests: reading text and sprites back from the
// headless driver's recorded calls, and an audio driver that records what the game asks
// of its channels.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "audio/sample.h"
#include "game/globals.h"
#include "render/font.h"
#include "render/headless/headless_driver.h"
#include "render/image.h"
#include "render/pixmap.h"

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
// An audio driver that plays nothing and remembers every channel it hands out.

struct recorded_channel : TChannel {
  const TSound* sound = nullptr;  // none for a channel from AllocChannel
  bool paused = false;
  bool stopped = false;
  int resumes = 0;
  std::vector<float> volumes;

  void Stop() override { stopped = true; }
  void SetPaused(int32_t value) override {
    if (paused && value == 0) ++resumes;
    paused = value != 0;
  }
  void SetVolume(float volume) override { volumes.push_back(volume); }
  int32_t Playing() override { return !stopped && !paused ? 1 : 0; }
  float volume() const { return volumes.empty() ? -1.0f : volumes.back(); }
};

class recording_audio_driver;

struct recorded_sound : TSound {
  recording_audio_driver* driver = nullptr;
  int32_t flags = 0;
  int32_t length = 0;
  std::shared_ptr<TChannel> Play(const std::shared_ptr<TChannel>& channel) override;
  std::shared_ptr<TChannel> Cue(const std::shared_ptr<TChannel>& channel) override;
};

class recording_audio_driver : public TAudioDriver {
 public:
  std::string Name() override { return "Recording"; }
  std::shared_ptr<TSound> CreateSound(const std::shared_ptr<TAudioSample>& sample,
                                      int32_t flags) override {
    auto sound = std::make_shared<recorded_sound>();
    sound->driver = this;
    sound->flags = flags;
    sound->length = sample->length;
    sounds_made.push_back(sound);
    return sound;
  }
  std::shared_ptr<TChannel> AllocChannel() override {
    auto channel = std::make_shared<recorded_channel>();
    channels.push_back(channel);
    return channel;
  }

  // Channels that play a sound, oldest first.
  std::vector<std::shared_ptr<recorded_channel>> channels_of(const TSound* sound) const {
    std::vector<std::shared_ptr<recorded_channel>> found;
    for (const auto& channel : channels)
      if (channel->sound == sound) found.push_back(channel);
    return found;
  }

  std::vector<std::shared_ptr<recorded_channel>> channels;
  std::vector<std::shared_ptr<recorded_sound>> sounds_made;
};

inline std::shared_ptr<TChannel> recorded_sound::Cue(const std::shared_ptr<TChannel>&) {
  auto channel = std::make_shared<recorded_channel>();
  channel->sound = this;
  channel->paused = true;
  driver->channels.push_back(channel);
  return channel;
}

inline std::shared_ptr<TChannel> recorded_sound::Play(const std::shared_ptr<TChannel>& channel) {
  auto played = Cue(channel);
  played->SetPaused(0);
  return played;
}

// The channel as the recording driver made it (none for a channel of another driver).
inline std::shared_ptr<recorded_channel> recorded(const std::shared_ptr<TChannel>& channel) {
  return std::dynamic_pointer_cast<recorded_channel>(channel);
}

// ---------------------------------------------------------------------------
// The game fixture with recorded draw calls and, on request, the recording audio driver.

#include "game/sounds.h"
#include "game_fixture.h"

inline recording_audio_driver& recording_audio() {
  static recording_audio_driver driver;
  return driver;
}

class ScreensTest : public GameTest {
 protected:
  void TearDown() override {
    sim_.reset();
    SetAudioDriver("Null");
    recording_audio().channels.clear();
    recording_audio().sounds_made.clear();
  }

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

  // Switches the running game to the recording audio driver: the effects are loaded
  // again, the kept channels made afresh and the music restarted, as start-up does.
  recording_audio_driver& use_recording_audio() {
    recording_audio_driver& driver = recording_audio();
    EXPECT_EQ(SetAudioDriver("Recording"), 1);
    load_sounds();
    music_channel = AllocChannel();
    ufo_channel = AllocChannel();
    start_music(music_track);
    return driver;
  }

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
