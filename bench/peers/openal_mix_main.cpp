// Peer: OpenAL Soft rendering the same voices through its loopback device
// (alcRenderSamplesSOFT), 512 stereo 16-bit frames at 44100 Hz per block, with the linear
// resampler when the library offers a choice. Prints CPU microseconds per block.

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench/compare/bench_clock.h"
#include "bench/compare/mix_voices.h"

int main(int argc, char** argv) {
  const int32_t blocks = bench::quick(argc, argv) ? 400 : 4000;
  auto open_loopback = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
      alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
  auto render =
      reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
  if (!open_loopback || !render) {
    std::fprintf(stderr, "peer: no ALC_SOFT_loopback\n");
    return 1;
  }
  ALCdevice* device = open_loopback(nullptr);
  const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT,
                               ALC_STEREO_SOFT,
                               ALC_FORMAT_TYPE_SOFT,
                               ALC_SHORT_SOFT,
                               ALC_FREQUENCY,
                               44100,
                               ALC_HRTF_SOFT,
                               ALC_FALSE,
                               ALC_MONO_SOURCES,
                               256,
                               0};
  ALCcontext* context = device ? alcCreateContext(device, attributes) : nullptr;
  if (!context) {
    std::fprintf(stderr, "peer: no OpenAL loopback context\n");
    return 1;
  }
  alcMakeContextCurrent(context);

  ALint linear = -1;
  if (alIsExtensionPresent("AL_SOFT_source_resampler")) {
    auto resampler_name =
        reinterpret_cast<LPALGETSTRINGISOFT>(alGetProcAddress("alGetStringiSOFT"));
    const ALint count = alGetInteger(AL_NUM_RESAMPLERS_SOFT);
    for (ALint i = 0; i < count && resampler_name; ++i) {
      const char* name = resampler_name(AL_RESAMPLER_NAME_SOFT, i);
      if (name && std::strstr(name, "inear")) linear = i;
    }
  }

  std::vector<ALuint> buffers;
  for (const bench::test_sound& sound : bench::make_sounds()) {
    ALuint buffer = 0;
    alGenBuffers(1, &buffer);
    alBufferData(buffer, sound.channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16,
                 sound.values.data(), static_cast<ALsizei>(sound.values.size() * 2), sound.hertz);
    buffers.push_back(buffer);
  }

  std::vector<int16_t> out(bench::kBlockFrames * 2);
  for (int32_t voices : bench::kVoiceCounts) {
    std::vector<ALuint> sources(static_cast<size_t>(voices));
    alGenSources(voices, sources.data());
    for (int32_t i = 0; i < voices; ++i) {
      const bench::voice_setup setup = bench::voice(i);
      const ALuint source = sources[static_cast<size_t>(i)];
      alSourcei(source, AL_BUFFER, static_cast<ALint>(buffers[static_cast<size_t>(setup.sound)]));
      alSourcei(source, AL_LOOPING, AL_TRUE);
      alSourcef(source, AL_PITCH, setup.rate);
      alSourcef(source, AL_GAIN, setup.volume);
      // Panning as a developer would: a source-relative position on the x axis.
      alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
      alSource3f(source, AL_POSITION, setup.pan, 0.0f, -std::sqrt(1.0f - setup.pan * setup.pan));
      if (linear >= 0) alSourcei(source, AL_SOURCE_RESAMPLER_SOFT, linear);
      alSourcePlay(source);
    }
    for (int32_t i = 0; i < 20; ++i) render(device, out.data(), bench::kBlockFrames);
    const double start = bench::thread_cpu_seconds();
    for (int32_t i = 0; i < blocks; ++i) render(device, out.data(), bench::kBlockFrames);
    const double cost = (bench::thread_cpu_seconds() - start) / blocks;
    const std::string key = "openal_us_" + std::to_string(voices);
    bench::report(key.c_str(), cost * 1e6);
    alSourceStopv(voices, sources.data());
    alDeleteSources(voices, sources.data());
  }
  bench::report("openal_linear_resampler", linear >= 0 ? 1 : 0);
  alDeleteBuffers(static_cast<ALsizei>(buffers.size()), buffers.data());
  alcMakeContextCurrent(nullptr);
  alcDestroyContext(context);
  alcCloseDevice(device);
  return 0;
}
