// Our mixer: CPU time of one 512-frame block with 1, 8, 32 and 64 voices (and with 1 and 64
// on the scalar reference path), and three correctness figures beside it: a 60-second
// 22050 Hz sine mixed at 44100 Hz against the same linear interpolation in double precision
// (signal-to-noise in dB), its exact frames-played count, and full-scale alternating
// samples summed past the 16-bit range.

#include <cmath>
#include <cstdint>
#include <vector>

#include "audio/mixer.h"
#include "audio/velmix.h"
#include "bench/compare/bench_clock.h"
#include "bench/compare/mix_voices.h"
#include "tests/audio/stepped_hardware.h"

namespace {

uint32_t clock_millis = 1000;

// Opens the mixer on a stepped device; the mixing is driven by hand through core->mix.
mixer* open_mixer() {
  if (MixInit(MakeSteppedDevice()) != 0) return nullptr;
  return last_stepped_device().device->core.get();
}

// Starts a voice with the given settings; it begins with the next block (no start delay).
int32_t play(mixsample* sample, float rate, float pan, float volume) {
  const int32_t handle = MixPlaySound(sample, 1, 0);
  MixSetRate(handle, rate);
  MixSetPan(handle, pan);
  MixSetVolume(handle, volume);
  MixPauseChannel(handle, 0);
  return handle;
}

double block_cost(mixer& core, const std::vector<mixsample*>& samples, int32_t voices,
                  int32_t blocks) {
  std::vector<int32_t> handles;
  for (int32_t i = 0; i < voices; ++i) {
    const bench::voice_setup setup = bench::voice(i);
    handles.push_back(
        play(samples[static_cast<size_t>(setup.sound)], setup.rate, setup.pan, setup.volume));
  }
  std::vector<int16_t> out(static_cast<size_t>(core.block_values()));
  clock_millis += 100;
  for (int32_t i = 0; i < 20; ++i) core.mix(out.data(), clock_millis);  // warm up
  const double start = bench::thread_cpu_seconds();
  for (int32_t i = 0; i < blocks; ++i) core.mix(out.data(), clock_millis);
  const double cost = (bench::thread_cpu_seconds() - start) / blocks;
  for (int32_t handle : handles) MixStopChannel(handle);
  core.mix(out.data(), clock_millis);
  return cost;
}

// 60 s of a 1 kHz sine at 22050 Hz, mono, looping, played at rate 1 into 44100 Hz output.
void sine_accuracy(mixer& core) {
  const int32_t hertz = 22050, seconds = 60;
  const int32_t length = hertz * seconds;
  std::vector<int16_t> values(static_cast<size_t>(length));
  for (int32_t i = 0; i < length; ++i)
    values[static_cast<size_t>(i)] =
        static_cast<int16_t>(std::lround(20000.0 * std::sin(2.0 * M_PI * 1000.0 * i / hertz)));
  mixsample* sample = MixCreateSound(length, 16, 1, hertz, values.data(), 1);
  const int32_t handle = play(sample, 1.0f, 0.0f, 1.0f);
  clock_millis += 100;

  const int64_t output_frames = static_cast<int64_t>(kMixHertz) * seconds;
  const int64_t blocks = (output_frames + bench::kBlockFrames - 1) / bench::kBlockFrames;
  std::vector<int16_t> out(static_cast<size_t>(core.block_values()));
  double signal = 0, noise_ours = 0, noise_double = 0;
  int64_t frame = 0;
  for (int64_t b = 0; b < blocks; ++b) {
    core.mix(out.data(), clock_millis);
    for (int32_t i = 0; i < bench::kBlockFrames && frame < output_frames; ++i, ++frame) {
      const double ideal = 20000.0 * std::sin(2.0 * M_PI * 1000.0 * frame / kMixHertz);
      const double position = static_cast<double>(frame) * hertz / kMixHertz;
      const int64_t index = static_cast<int64_t>(position);
      const double fraction = position - static_cast<double>(index);
      const double a = values[static_cast<size_t>(index % length)];
      const double b = values[static_cast<size_t>((index + 1) % length)];
      const double reference = a + (b - a) * fraction;
      signal += ideal * ideal;
      noise_ours +=
          (out[static_cast<size_t>(i * 2)] - ideal) * (out[static_cast<size_t>(i * 2)] - ideal);
      noise_double += (reference - ideal) * (reference - ideal);
    }
  }
  const double snr_ours = 10.0 * std::log10(signal / noise_ours);
  const double snr_double = 10.0 * std::log10(signal / noise_double);
  bench::report("mix_sine_snr_db", snr_ours);
  bench::report("mix_sine_snr_double_db", snr_double);
  bench::report("mix_sine_snr_loss_db", snr_double - snr_ours);
  const int64_t expected = blocks * bench::kBlockFrames * hertz / kMixHertz;
  bench::report("mix_frames_played_error",
                static_cast<double>(MixChannelPosition(handle) - expected));
  MixStopChannel(handle);
  core.mix(out.data(), clock_millis);
  MixFreeSound(sample);
}

// Sixteen voices of +32767 / -32768 alternating: every output value must clip to the
// sign of the input, never wrap to the other side.
void full_scale(mixer& core) {
  std::vector<int16_t> values(4410);
  for (size_t i = 0; i < values.size(); ++i) values[i] = i % 2 ? -32768 : 32767;
  mixsample* sample =
      MixCreateSound(static_cast<int32_t>(values.size()), 16, 1, kMixHertz, values.data(), 1);
  std::vector<int32_t> handles;
  for (int32_t i = 0; i < 16; ++i) handles.push_back(play(sample, 1.0f, 0.0f, 1.0f));
  clock_millis += 100;
  std::vector<int16_t> out(static_cast<size_t>(core.block_values()));
  int64_t wrong = 0;
  for (int32_t b = 0; b < 100; ++b) {
    core.mix(out.data(), clock_millis);
    for (int32_t i = 0; i < bench::kBlockFrames; ++i) {
      const int64_t frame = static_cast<int64_t>(b) * bench::kBlockFrames + i;
      const int16_t expected = frame % 2 ? -32768 : 32767;
      wrong += out[static_cast<size_t>(i * 2)] != expected;
      wrong += out[static_cast<size_t>(i * 2 + 1)] != expected;
    }
  }
  bench::report("mix_full_scale_wrong_values", static_cast<double>(wrong));
  for (int32_t handle : handles) MixStopChannel(handle);
  core.mix(out.data(), clock_millis);
  MixFreeSound(sample);
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t blocks = bench::quick(argc, argv) ? 400 : 4000;
  mixer* core = open_mixer();
  if (!core) {
    std::fprintf(stderr, "audio: the mixer did not open\n");
    return 1;
  }
  std::vector<mixsample*> samples;
  for (const bench::test_sound& sound : bench::make_sounds())
    samples.push_back(
        MixCreateSound(sound.hertz, 16, sound.channels, sound.hertz, sound.values.data(), 1));
  for (int32_t voices : bench::kVoiceCounts) {
    const std::string key = "mix_us_" + std::to_string(voices);
    bench::report(key.c_str(), block_cost(*core, samples, voices, blocks) * 1e6);
  }
  // The per-frame 64-bit loop that the run loop must match, for the record.
  core->set_path(mix_path::scalar);
  bench::report("mix_scalar_us_1", block_cost(*core, samples, 1, blocks) * 1e6);
  bench::report("mix_scalar_us_64", block_cost(*core, samples, 64, blocks) * 1e6);
  core->set_path(mix_path::vector);
  sine_accuracy(*core);
  full_scale(*core);
  for (mixsample* sample : samples) MixFreeSound(sample);
  MixClose();
  return 0;
}
