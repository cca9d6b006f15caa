// Mixing cost per 512-frame block against the block's 11.6 ms of real time, and Ogg
// Vorbis decoding speed as a multiple of real time.

#include <benchmark/benchmark.h>

#include <time.h>

#include <cmath>
#include <vector>

#include "audio/audio.h"
#include "audio/mixer.h"
#include "audio/sample.h"
#include "audio/velmix.h"
#include "stream/stream.h"
#include "tests/audio/ogg_maker.h"
#include "tests/audio/stepped_hardware.h"

namespace {

constexpr double kBlockSeconds = (kRingBlockValues / 2) / double(kMixHertz);

// CPU time of this thread: the machine may be shared, so wall time overstates the cost.
double thread_cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Mixes one block per iteration with voices looping sounds playing.
// Arguments: voices, channels (1 or 2), rate in hundredths.
void BM_MixBlock(benchmark::State& state) {
  const int32_t voices = static_cast<int32_t>(state.range(0));
  const int32_t channels = static_cast<int32_t>(state.range(1));
  const float rate = static_cast<float>(state.range(2)) / 100.0f;

  last_stepped_device() = {};
  SetVelmixDeviceFactory(MakeSteppedDevice);
  SetAudioDriver("Velmix");
  ringdevice* device = last_stepped_device().device;
  stepped_hardware* hardware = last_stepped_device().hardware;

  const std::vector<int16_t> frames = SineFrames(44100, channels, 44100, 330.0, 3000.0);
  auto sample =
      TAudioSample::Create(44100, 44100, channels == 1 ? kFormatMono16LE : kFormatStereo16LE);
  std::copy(frames.begin(), frames.end(), reinterpret_cast<int16_t*>(sample->samples));
  auto sound = LoadSound(sample, kSoundLoop);
  std::vector<std::shared_ptr<TChannel>> playing;
  for (int32_t i = 0; i < voices; ++i) {
    auto channel = PrepareSound(sound);
    SetChannelRate(channel, rate);
    SetChannelVolume(channel, 0.5f);
    SetChannelPan(channel, (i % 5) * 0.5f - 1.0f);
    ResumeChannel(channel);
    playing.push_back(channel);
  }
  hardware->clock += 100;

  const double cpu_start = thread_cpu_seconds();
  for (auto _ : state) {
    hardware->advance_bytes(kRingBlockValues * 2);
    device->service();
    benchmark::ClobberMemory();
  }
  const double per_block = (thread_cpu_seconds() - cpu_start) / double(state.iterations());
  state.counters["cpu_us_per_block"] = per_block * 1e6;
  state.counters["percent_of_block"] = 100.0 * per_block / kBlockSeconds;
  playing.clear();
  sound.reset();
  ShutdownAudio();
  SetVelmixDeviceFactory(nullptr);
}
BENCHMARK(BM_MixBlock)
    ->ArgNames({"voices", "channels", "rate%"})
    ->ArgsProduct({{1, 8, 32, 128}, {1, 2}, {100, 137}});

void BM_OggDecode(benchmark::State& state) {
  const int32_t channels = static_cast<int32_t>(state.range(0));
  const int32_t seconds = 5;
  const std::vector<uint8_t> bytes =
      EncodeOgg(SineFrames(44100 * seconds, channels, 44100, 440.0, 10000.0), channels, 44100);
  for (auto _ : state) {
    auto sample = LoadAudioSample(TRamStream::Create(bytes.data(), bytes.size(), 1, 0));
    benchmark::DoNotOptimize(sample);
  }
  state.counters["x_realtime"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * seconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OggDecode)->ArgName("channels")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
