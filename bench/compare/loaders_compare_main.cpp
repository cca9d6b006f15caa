// Our loaders against bare library loops over the same bytes (bench/peers/bare_loaders):
// PNG decoding of the sprite sheet and the backdrop, Ogg Vorbis decoding of the two music
// tracks, and building the 95 printable glyphs of the game font at size 22. Prints the
// median milliseconds of each, ours and bare.

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "audio/sample.h"
#include "bench/compare/bench_clock.h"
#include "bench/peers/bare_loaders.h"
#include "render/font.h"
#include "render/pixmap.h"
#include "resources/resources.h"
#include "stream/stream.h"

namespace {

std::vector<uint8_t> resource_bytes(const std::string& url) {
  std::vector<uint8_t> bytes;
  std::shared_ptr<TStream> stream = StreamOpen(url, 1, 0);
  if (!stream) return bytes;
  bytes.resize(static_cast<size_t>(stream->Size()));
  stream->ReadBytes(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream->Close();
  return bytes;
}

std::vector<uint8_t> file_bytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::shared_ptr<TStream> memory(const std::vector<uint8_t>& bytes) {
  return TRamStream::Create(bytes.data(), static_cast<int64_t>(bytes.size()), 1, 0);
}

// Ours and bare take turns, one call each per round, so a change in the machine's load
// during the run weighs on both alike.
void compare(const std::string& name, int32_t repeats, const std::function<bool()>& ours,
             const std::function<bool()>& bare) {
  bool ours_ok = ours(), bare_ok = bare();  // warm up both
  std::vector<double> ours_times, bare_times;
  for (int32_t round = 0; round < repeats; ++round) {
    double start = bench::now_seconds();
    ours_ok = ours() && ours_ok;
    ours_times.push_back(bench::now_seconds() - start);
    start = bench::now_seconds();
    bare_ok = bare() && bare_ok;
    bare_times.push_back(bench::now_seconds() - start);
  }
  if (!ours_ok || !bare_ok) std::fprintf(stderr, "bench: %s did not decode\n", name.c_str());
  bench::report(("load_" + name + "_ms").c_str(), bench::percentile(ours_times, 50.0) * 1e3);
  bench::report(("bare_" + name + "_ms").c_str(), bench::percentile(bare_times, 50.0) * 1e3);
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t repeats = bench::quick(argc, argv) ? 5 : 21;
  const std::filesystem::path data =
      std::filesystem::read_symlink("/proc/self/exe").parent_path() / "data";

  for (const auto& [name, url] :
       {std::pair<std::string, const char*>{"sprites_png", kSpriteSheetUrl},
        {"backdrop_png", kBackdropUrl}}) {
    const std::vector<uint8_t> bytes = resource_bytes(url);
    compare(
        name, repeats * 2, [&] { return LoadPixmap(memory(bytes)) != nullptr; },
        [&] { return bench::bare_png_decode(bytes) > 0; });
  }
  for (const char* track : {"t_track", "p_track"}) {
    const std::vector<uint8_t> bytes = file_bytes(data / (std::string(track) + ".ogg"));
    compare(
        std::string(track) + "_ogg", repeats,
        [&] { return LoadAudioSample(memory(bytes)) != nullptr; },
        [&] { return bench::bare_ogg_decode(bytes) > 0; });
  }
  const std::vector<uint8_t> font_bytes = resource_bytes(kFontUrl);
  compare(
      "font_glyphs", repeats * 4,
      [&] {
        std::shared_ptr<TImageFont> font = LoadImageFont(kFontUrl, 22, FONT_SMOOTH);
        if (!font) return false;
        for (int32_t code = 32; code < 127; ++code) font->LoadGlyph(font->CharToGlyph(code));
        return true;
      },
      [&] { return bench::bare_font_glyphs(font_bytes, 22) > 0; });
  return 0;
}
