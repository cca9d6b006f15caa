// Peer: SDL_mixer playing the same voices through SDL's disk audio driver with no delay
// (it mixes as fast as it can into /dev/null), 512-frame blocks at 44100 Hz stereo.
// SDL_mixer has no playback rate, so each sound is converted to the output format once at
// load and the rate-1.37 voices play at rate 1. Prints the audio thread's CPU microseconds
// per block.

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <atomic>
#include <string>
#include <vector>

#include "bench/compare/bench_clock.h"
#include "bench/compare/mix_voices.h"

namespace {

std::atomic<int32_t> blocks_mixed{0};
std::atomic<int32_t> measure_from{1 << 30};
std::atomic<int32_t> measure_to{1 << 30};
double cpu_at_start = 0, cpu_at_end = 0;

// Runs on SDL's audio thread after every block.
void count_block(void*, Uint8*, int) {
  const int32_t block = blocks_mixed.fetch_add(1) + 1;
  if (block == measure_from.load()) cpu_at_start = bench::thread_cpu_seconds();
  if (block == measure_to.load()) cpu_at_end = bench::thread_cpu_seconds();
}

Mix_Chunk* convert(const bench::test_sound& sound) {
  SDL_AudioCVT cvt;
  SDL_BuildAudioCVT(&cvt, AUDIO_S16SYS, static_cast<Uint8>(sound.channels), sound.hertz,
                    AUDIO_S16SYS, 2, 44100);
  const int length = static_cast<int>(sound.values.size() * 2);
  cvt.len = length;
  cvt.buf = static_cast<Uint8*>(SDL_malloc(static_cast<size_t>(length * cvt.len_mult)));
  SDL_memcpy(cvt.buf, sound.values.data(), static_cast<size_t>(length));
  if (cvt.needed) SDL_ConvertAudio(&cvt);
  return Mix_QuickLoad_RAW(cvt.buf, static_cast<Uint32>(cvt.len_cvt));
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t blocks = bench::quick(argc, argv) ? 400 : 4000;
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
  setenv("SDL_DISKAUDIODELAY", "0", 1);
  if (SDL_Init(SDL_INIT_AUDIO) != 0 ||
      Mix_OpenAudio(44100, AUDIO_S16SYS, 2, bench::kBlockFrames) != 0) {
    std::fprintf(stderr, "peer: SDL_mixer did not open: %s\n", SDL_GetError());
    return 1;
  }
  Mix_AllocateChannels(64);
  std::vector<Mix_Chunk*> chunks;
  for (const bench::test_sound& sound : bench::make_sounds()) chunks.push_back(convert(sound));
  Mix_SetPostMix(count_block, nullptr);

  for (int32_t voices : bench::kVoiceCounts) {
    Mix_Pause(-1);
    for (int32_t i = 0; i < voices; ++i) {
      const bench::voice_setup setup = bench::voice(i);
      Mix_PlayChannel(i, chunks[static_cast<size_t>(setup.sound)], -1);
      Mix_Volume(i, static_cast<int>(setup.volume * MIX_MAX_VOLUME));
      const int right = static_cast<int>(127.5f * (1.0f + setup.pan));
      Mix_SetPanning(i, static_cast<Uint8>(254 - right), static_cast<Uint8>(right));
    }
    const int32_t now = blocks_mixed.load();
    cpu_at_start = cpu_at_end = 0;
    measure_to.store(now + 40 + blocks);
    measure_from.store(now + 40);
    Mix_Resume(-1);
    while (blocks_mixed.load() < now + 41 + blocks) SDL_Delay(5);
    const std::string key = "sdlmixer_us_" + std::to_string(voices);
    bench::report(key.c_str(), (cpu_at_end - cpu_at_start) / blocks * 1e6);
    Mix_HaltChannel(-1);
    for (int32_t i = 0; i < voices; ++i) Mix_UnregisterAllEffects(i);
  }
  Mix_CloseAudio();
  for (Mix_Chunk* chunk : chunks) Mix_FreeChunk(chunk);
  SDL_Quit();
  return 0;
}
