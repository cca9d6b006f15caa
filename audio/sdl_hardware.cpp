// The ring's hardware over SDL audio: SDL's callback thread copies from the ring at
// the play position (counted in bytes since the last submit) and advances it. The
// callback reads only atomics and ring bytes published before it.

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <utility>

#include "audio/mixer.h"

namespace {

class sdlhardware : public ringhardware {
 public:
  explicit sdlhardware(std::function<void()> before_fill) : before_fill_(std::move(before_fill)) {}
  ~sdlhardware() override { close(); }

  bool open(const int16_t* ring, int32_t ring_bytes) override {
    if (device_ != 0) return false;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    ring_ = reinterpret_cast<const uint8_t*>(ring);
    ring_bytes_ = ring_bytes;
    SDL_AudioSpec wanted{};
    wanted.freq = kMixHertz;
    wanted.format = AUDIO_S16LSB;
    wanted.channels = kMixChannels;
    wanted.samples = kRingBlockValues / kMixChannels;
    wanted.callback = &sdlhardware::callback;
    wanted.userdata = this;
    SDL_AudioSpec obtained{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device_ == 0) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return false;
    }
    SDL_PauseAudioDevice(device_, 0);
    return true;
  }

  void close() override {
    if (device_ == 0) return;
    SDL_CloseAudioDevice(device_);
    device_ = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  void submit() override {
    position_.store(0, std::memory_order_relaxed);
    playing_.store(true, std::memory_order_release);
  }

  void reset() override {
    if (device_ == 0) return;
    // Waits for a callback in progress, so the ring is free to change afterwards.
    SDL_LockAudioDevice(device_);
    playing_.store(false, std::memory_order_relaxed);
    position_.store(0, std::memory_order_relaxed);
    SDL_UnlockAudioDevice(device_);
  }

  int64_t play_position() override { return position_.load(std::memory_order_acquire); }

  void publish(int64_t written_bytes) override {
    written_.store(written_bytes, std::memory_order_release);
  }

  uint32_t now_millis() override { return SDL_GetTicks(); }

  // SDL runs its audio thread at time-critical priority; the thread that fills the
  // ring gets the same, or a busy machine starves it into underrun after underrun.
  void service_thread_started() override {
    SDL_SetThreadPriority(SDL_THREAD_PRIORITY_TIME_CRITICAL);
  }

 private:
  static void SDLCALL callback(void* userdata, Uint8* stream, int length) {
    static_cast<sdlhardware*>(userdata)->fill(stream, length);
  }

  void fill(uint8_t* out, int32_t length) {
    if (before_fill_) before_fill_();
    if (!playing_.load(std::memory_order_acquire)) {
      std::memset(out, 0, static_cast<size_t>(length));
      return;
    }
    const int64_t start = position_.load(std::memory_order_relaxed);
    const int64_t written = written_.load(std::memory_order_acquire);
    int64_t position = start;
    int32_t done = 0;
    while (done < length) {
      const int32_t offset = static_cast<int32_t>(position % ring_bytes_);
      const int32_t run = std::min(length - done, ring_bytes_ - offset);
      // Bytes not yet written since the last submit are played as silence.
      const int64_t ready = std::clamp<int64_t>(written - position, 0, run);
      std::memcpy(out + done, ring_ + offset, static_cast<size_t>(ready));
      std::memset(out + done + ready, 0, static_cast<size_t>(run - ready));
      done += run;
      position += run;
    }
    position_.store(position, std::memory_order_release);
  }

  std::function<void()> before_fill_;
  SDL_AudioDeviceID device_ = 0;
  const uint8_t* ring_ = nullptr;
  int32_t ring_bytes_ = 0;
  std::atomic<bool> playing_{false};
  std::atomic<int64_t> position_{0};
  std::atomic<int64_t> written_{0};
};

}  // namespace

std::unique_ptr<ringhardware> MakeSdlRingHardware(std::function<void()> before_fill) {
  return std::make_unique<sdlhardware>(std::move(before_fill));
}
