// vextral-loudness: plays the simulator's random player with the real software mixer on
// an output that advances 735 frames (1/60 s) per game frame, and reports the peak, the
// RMS level and the number of samples at full scale of everything the game played.
//
//   vextral-loudness [--frames N] [--seed N] [--wav out.wav]

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "audio/audio.h"
#include "audio/mixer.h"
#include "game/globals.h"
#include "game/sounds.h"
#include "tools/sim/simulator.h"

namespace {

constexpr int64_t kFramesPerGameFrame = kMixHertz / 60;

struct level_meter {
  int32_t peak = 0;
  int64_t peak_at = 0;  // value index
  double sum_of_squares = 0;
  int64_t values = 0;
  int64_t full_scale = 0;
  int64_t worst_second = 0;  // full-scale values in the worst second
  int64_t second_count = 0;
  int64_t second_values = 0;
  std::vector<int16_t> kept;  // everything, when a WAV file is wanted
  bool keep = false;

  void add(const int16_t* block, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
      const int32_t v = block[i];
      if (std::abs(v) > peak) peak = std::abs(v), peak_at = values + i;
      sum_of_squares += static_cast<double>(v) * v;
      const bool clipped = v >= 32767 || v <= -32768;
      full_scale += clipped;
      second_count += clipped;
      if (++second_values == kMixHertz * kMixChannels) {
        worst_second = std::max(worst_second, second_count);
        second_count = second_values = 0;
      }
    }
    values += count;
    if (keep) kept.insert(kept.end(), block, block + count);
  }
};

level_meter meter;

// Mixes on the caller's thread, on demand; its clock is the output played so far, so
// voices start 20 ms of output after the frame that started them, as on a real device.
class capture_device : public audiodevice {
 public:
  int32_t open() override {
    core = std::make_unique<mixer>(kRingBlockValues);
    return 0;
  }
  void close() override {
    if (core != nullptr) core->release_all();
    core.reset();
  }
  uint32_t now_millis() override { return static_cast<uint32_t>(mixed_ * 1000 / kMixHertz); }

  // Mixes whole blocks until at least `frames` frames have been played in all.
  void play_until(int64_t frames) {
    int16_t block[kRingBlockValues];
    while (core != nullptr && mixed_ < frames) {
      core->mix(block, now_millis());
      meter.add(block, kRingBlockValues);
      mixed_ += kRingBlockValues / kMixChannels;
    }
  }

 private:
  int64_t mixed_ = 0;
};

capture_device* device = nullptr;

audiodevice* make_capture_device() {
  device = new capture_device();
  return device;
}

double dbfs(double value) {
  return value > 0 ? 20.0 * std::log10(value / 32768.0) : -999.0;
}

bool write_wav(const std::string& path, const std::vector<int16_t>& values) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const uint32_t data_bytes = static_cast<uint32_t>(values.size() * 2);
  auto u32 = [&](uint32_t v) { std::fwrite(&v, 4, 1, file); };
  auto u16 = [&](uint16_t v) { std::fwrite(&v, 2, 1, file); };
  std::fwrite("RIFF", 1, 4, file);
  u32(36 + data_bytes);
  std::fwrite("WAVEfmt ", 1, 8, file);
  u32(16), u16(1), u16(kMixChannels), u32(kMixHertz), u32(kMixHertz * kMixChannels * 2);
  u16(kMixChannels * 2), u16(16);
  std::fwrite("data", 1, 4, file);
  u32(data_bytes);
  const bool written = std::fwrite(values.data(), 2, values.size(), file) == values.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  int64_t frames = 18000;
  int32_t seed = 1;
  std::string wav;
  const char* usage = "usage: vextral-loudness [--frames N] [--seed N] [--wav out.wav]\n";
  for (int i = 1; i < argc; i += 2) {
    const std::string option = argv[i];
    if (i + 1 == argc || (option != "--frames" && option != "--seed" && option != "--wav")) {
      std::fputs(usage, stderr);
      return 2;
    }
    if (option == "--frames") frames = std::atoll(argv[i + 1]);
    if (option == "--seed") seed = std::atoi(argv[i + 1]);
    if (option == "--wav") wav = argv[i + 1];
  }
  meter.keep = !wav.empty();

  sim_config config;
  config.seed = seed;
  config.random_input = true;
  simulator sim(config);
  if (!sim.start()) {
    std::fprintf(stderr, "vextral-loudness: no headless display\n");
    return 1;
  }
  // The simulator starts the game on the silent driver; switch to the mixer and load
  // the sounds again, as start-up would have done with it.
  SetVelmixDeviceFactory(make_capture_device);
  if (SetAudioDriver("Velmix") != 1) {
    std::fprintf(stderr, "vextral-loudness: the mixer did not open\n");
    return 1;
  }
  load_sounds();
  music_channel = AllocChannel();
  ufo_channel = AllocChannel();
  start_music(music_track);

  std::vector<std::pair<int64_t, std::string>> started;
  while (sim.frames_run() < frames && !sim.quit()) {
    sim.step(1);
    for (const std::string& file : sim.last_frame().sounds)
      started.emplace_back(sim.frames_run(), file);
    device->play_until(sim.frames_run() * kFramesPerGameFrame);
  }
  sim.finish();
  SetAudioDriver("Null");
  SetVelmixDeviceFactory(nullptr);

  const double rms = meter.values > 0 ? std::sqrt(meter.sum_of_squares / meter.values) : 0.0;
  std::printf(
      "vextral-loudness: %lld game frames, %.1f s of output, sound %.1f music %.1f: peak %d "
      "(%.1f dBFS), RMS %.1f dBFS, %lld samples at full scale (%.3f %%), at most %lld in "
      "one second\n",
      static_cast<long long>(sim.frames_run()),
      static_cast<double>(meter.values) / (kMixHertz * kMixChannels), sfx_volume, music_volume,
      meter.peak, dbfs(meter.peak), dbfs(rms), static_cast<long long>(meter.full_scale),
      meter.values > 0 ? 100.0 * static_cast<double>(meter.full_scale) / meter.values : 0.0,
      static_cast<long long>(meter.worst_second));
  // What made the loudest moment: the sounds started in the 2.5 s before it.
  const int64_t peak_frame = meter.peak_at / kMixChannels / kFramesPerGameFrame;
  std::printf("vextral-loudness: the peak at %.2f s (game frame %lld) follows",
              static_cast<double>(meter.peak_at) / (kMixHertz * kMixChannels),
              static_cast<long long>(peak_frame));
  for (const auto& [frame, file] : started)
    if (frame <= peak_frame && frame > peak_frame - 150)
      std::printf(" %s@%lld", file.c_str(), static_cast<long long>(frame));
  std::printf("\n");
  if (!wav.empty() && !write_wav(wav, meter.kept)) {
    std::fprintf(stderr, "vextral-loudness: cannot write %s\n", wav.c_str());
    return 1;
  }
  return 0;
}
