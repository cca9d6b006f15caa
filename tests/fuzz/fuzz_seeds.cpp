#include "tests/fuzz/fuzz_seeds.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "game/replay/format.h"
#include "render/pixmap.h"
#include "tests/audio/ogg_maker.h"

namespace {

namespace fs = std::filesystem;
using bytes = std::vector<uint8_t>;

bool write_bytes(const fs::path& path, const bytes& content) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(content.data()),
             static_cast<std::streamsize>(content.size()));
  return static_cast<bool>(file);
}

bool write_text(const fs::path& path, const std::string& text) {
  return write_bytes(path, bytes(text.begin(), text.end()));
}

// A string literal with its embedded zero bytes (all but the terminating one).
template <size_t N>
std::string literal(const char (&text)[N]) {
  return std::string(text, N - 1);
}

bytes read_bytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool png_seeds(const fs::path& folder) {
  bool ok = true;
  int32_t index = 0;
  for (int32_t format : {PF_RGBA8888, PF_RGB888, PF_I8}) {
    for (int32_t size : {1, 5, 17}) {
      auto pixmap = TPixmap::Create(size, size + 1, format, 4);
      if (!pixmap) return false;
      for (int32_t y = 0; y < pixmap->height; ++y)
        for (int32_t x = 0; x < pixmap->width; ++x)
          pixmap->WritePixel(x, y, 0x80000000u | static_cast<uint32_t>(x * 0x0F0731 + y * 0x2205));
      ok &= SavePixmapPNG(pixmap, (folder / ("seed" + std::to_string(index++) + ".png")).string());
    }
  }
  return ok;
}

bool ogg_seeds(const fs::path& folder) {
  bool ok = true;
  ok &= WriteFile((folder / "mono.ogg").string(),
                  EncodeOgg(SineFrames(2000, 1, 8000, 440, 9000), 1, 8000));
  ok &= WriteFile((folder / "stereo.ogg").string(),
                  EncodeOgg(SineFrames(3000, 2, 22050, 300, 12000), 2, 22050));
  // A WAV header over a few frames, for the second loader in the chain.
  const std::string wav_head = literal(
      "RIFF\x2c\0\0\0WAVEfmt "
      "\x10\0\0\0\x01\0\x01\0\x44\xac\0\0\x88\x58\x01\0\x02\0\x10\0data\x08\0\0\0");
  bytes wav(wav_head.begin(), wav_head.end());
  for (int32_t i = 0; i < 8; ++i) wav.push_back(static_cast<uint8_t>(i * 37));
  ok &= write_bytes(folder / "short.wav", wav);
  return ok;
}

// A two-glyph bitmap font in the BDF text format, which FreeType reads as well as TrueType.
constexpr const char* kBdfFont =
    "STARTFONT 2.1\nFONT -fuzz-seed-medium-r-normal--8-80-75-75-c-40-iso8859-1\n"
    "SIZE 8 75 75\nFONTBOUNDINGBOX 4 8 0 -1\nSTARTPROPERTIES 2\nFONT_ASCENT 7\n"
    "FONT_DESCENT 1\nENDPROPERTIES\nCHARS 2\n"
    "STARTCHAR A\nENCODING 65\nSWIDTH 500 0\nDWIDTH 4 0\nBBX 4 8 0 -1\nBITMAP\n"
    "60\n90\n90\nF0\n90\n90\n90\n00\nENDCHAR\n"
    "STARTCHAR space\nENCODING 32\nSWIDTH 500 0\nDWIDTH 4 0\nBBX 1 1 0 0\nBITMAP\n00\nENDCHAR\n"
    "ENDFONT\n";

bool font_seeds(const fs::path& folder, const std::string& font_file) {
  bool ok = write_text(folder / "tiny.bdf", kBdfFont);
  const bytes font = read_bytes(font_file);
  if (!font.empty()) {
    ok &= write_bytes(folder / "display.ttf", font);
    // The table directory alone: the loader must refuse it without reading past the end.
    ok &= write_bytes(folder / "head.ttf",
                      bytes(font.begin(), font.begin() + std::min<size_t>(font.size(), 512)));
  }
  return ok;
}

bool stream_seeds(const fs::path& folder) {
  // The first 48 bytes are the read program (the first byte picks the stream kind).
  auto with_program = [](uint8_t kind, const std::string& program, const std::string& content) {
    std::string text(48, '\0');
    text[0] = static_cast<char>(kind);
    for (size_t i = 0; i < program.size() && i + 1 < text.size(); ++i) text[i + 1] = program[i];
    return text + content;
  };
  const std::string binary =
      literal("\x39\x30\x00\x00\xff\xff\xff\x7f\x00\x00\x80\x3f line one\r\nline two\n");
  bool ok = true;
  ok &= write_text(folder / "memory",
                   with_program(0, literal("\x00\x01\x02\x03\x04\x05\x06\x06\x07\x10"), binary));
  ok &= write_text(folder / "file",
                   with_program(1, literal("\x02\x0a\x05\x06\x09\x20\x0b\x30"), binary));
  ok &= write_text(folder / "bigendian", with_program(2, literal("\x01\x02\x03\x04\x05"), binary));
  ok &= write_text(folder / "latin1", with_program(4, literal("\x02\x02\x04\x06\x0c\x0d"),
                                                   "12345\r\n-7\n3.5\n\xe9t\xe9\n"));
  ok &= write_text(folder / "utf8",
                   with_program(5, literal("\x06\x0c\x0c\x0e"), "caf\xc3\xa9\n\xe2\x82\xac 1\r\n"));
  ok &= write_text(folder / "utf16le",
                   with_program(7, literal("\x06\x0c\x0d"), literal("\xff\xfeh\0i\0\n\0")));
  ok &=
      write_text(folder / "hex", with_program(4, literal("\x08\x20\x08\x20"), "00FF10AB\r\n7f\n"));
  ok &= write_text(folder / "bom_utf8", "\xef\xbb\xbfhello\n");
  return ok;
}

bool collision_seeds(const fs::path& folder) {
  // Two images (sizes, format, pattern), then operations with their arguments.
  bool ok = true;
  ok &= write_bytes(folder / "overlap",
                    {20, 0, 0,  0, 20,  0,    0, 0,   0, 0,   5, 5, 20,  0, 0,  0, 20, 0, 0,
                     0,  0, 1,  5, 5,   0x80, 1, 100, 0, 0,   0, 1, 100, 0, 0,  0, 5,  0, 5,
                     16, 5, 16, 1, 105, 0,    0, 0,   1, 100, 0, 0, 0,   5, 45, 5, 16, 5, 16});
  ok &= write_bytes(
      folder / "rects",
      {8,  0, 0, 0, 8, 0,  0, 0, 0, 0, 5,  5, 8, 0, 0, 0,  8, 0, 0, 0, 2, 0xff, 5, 5, 1, 1,
       10, 0, 0, 0, 1, 10, 0, 0, 0, 1, 20, 0, 0, 0, 1, 20, 0, 0, 0, 1, 0, 0,    0, 1, 1, 1,
       12, 0, 0, 0, 1, 12, 0, 0, 0, 1, 4,  0, 0, 0, 1, 4,  0, 0, 0, 1, 0, 0,    0, 0});
  ok &= write_bytes(folder / "huge", {4, 0, 0, 0, 4, 0, 0, 0, 0, 0, 5, 5, 4, 0, 0, 0, 4, 0, 0,
                                      0, 0, 0, 5, 5, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 5, 0, 2,
                                      1, 2, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 5, 0, 5});
  return ok;
}

bool sim_script_seeds(const fs::path& folder) {
  bool ok = true;
  ok &= write_text(folder / "script",
                   "# a short game\n0 keydown 27\n30 mousemove 320 252\n31 mousedown 1\n"
                   "32 mouseup 1\n100 keydown 38\n120 keyup 38\n130 joyaxis 0 -0.5\n"
                   "140 joybutton 2 1\n150 focus 0\n160 focus 1\n200 close\n");
  ok &= write_text(folder / "arguments", literal("--seed\0-12\0--frames\0"
                                                 "600\0--random-input\0--screenshot-every\0"
                                                 "60\0shots"));
  return ok;
}

// A short recorded game: a title frame, a run of play frames, a change, other queries.
bool replay_seeds(const fs::path& folder) {
  replay_encoder encoder;
  encoder.add_frame({{input_query::pointer_x, 0, 320},
                     {input_query::pointer_y, 0, 252},
                     {input_query::mouse_hits, 1, 1}});
  const input_frame play = {{input_query::key_is_down, 37, 1},
                            {input_query::joy_axis, joystick_argument(0, 0), 0},
                            {input_query::key_hits, 162, 0},
                            {input_query::close_requested, 0, 0}};
  for (int frame = 0; frame < 30; ++frame) encoder.add_frame(play);
  input_frame fire = play;
  fire[2].value = 1;
  encoder.add_frame(fire);
  // The focus lost: the wait's rounds as an older recorder kept each of them.
  input_frame away = play;
  away.push_back({input_query::is_suspended, 0, 1});
  for (int round = 0; round < 3; ++round) {
    away.push_back({input_query::is_suspended, 0, 1});
    away.push_back({input_query::close_requested, 0, 0});
  }
  away.push_back({input_query::is_suspended, 0, 0});
  encoder.add_frame(away);
  encoder.add_frame({});
  replay_header header;
  header.random_state = 123456;
  header.final_score = 1500;
  header.final_level = 2;
  const bytes file = encoder.file(header);
  bool ok = write_bytes(folder / "game", file);
  ok &= write_bytes(folder / "truncated", bytes(file.begin(), file.end() - 3));
  bytes newer = file;
  newer[4] = 2;
  ok &= write_bytes(folder / "newer", newer);
  ok &= write_bytes(folder / "payload", bytes(file.begin() + replay_header_size, file.end()));
  return ok;
}

}  // namespace

const std::vector<std::string>& fuzz_seed_targets() {
  static const std::vector<std::string> targets = {"png",       "ogg",        "font",  "stream",
                                                   "collision", "sim_script", "replay"};
  return targets;
}

bool write_fuzz_seeds(const std::string& target, const std::string& folder,
                      const std::string& font_file) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) return false;
  if (target == "png") return png_seeds(folder);
  if (target == "ogg") return ogg_seeds(folder);
  if (target == "font") return font_seeds(folder, font_file);
  if (target == "stream") return stream_seeds(folder);
  if (target == "collision") return collision_seeds(folder);
  if (target == "sim_script") return sim_script_seeds(folder);
  if (target == "replay") return replay_seeds(folder);
  return false;
}
