// The open mixer's channel table and the handle-based operations the Velmix driver
// classes call. Game thread only: the mixing thread never touches the table.

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "audio/mixer.h"
#include "audio/velmix.h"

namespace {

constexpr int32_t kSlots = 4096;
constexpr int32_t kSlotMask = kSlots - 1;
constexpr int32_t kSequenceStep = kSlots;
constexpr int32_t kSequenceLimit = 0x7FFFF000;

struct slot {
  sound* voice = nullptr;
  int32_t next_free = 0;
  int32_t sequence = kSequenceStep;
  bool free = true;
};

struct open_mixer {
  audiodevice* device = nullptr;
  std::vector<slot> slots;  // slot 0 heads the free list and is never handed out
};

open_mixer state;
// Each opening starts its sequences further on, so that handles kept from an earlier
// opening stay stale.
int32_t openings = 0;

mixer& core() {
  return *state.device->core;
}

bool valid(int32_t handle) {
  if (state.device == nullptr || handle <= 0) return false;
  int32_t index = handle & kSlotMask;
  if (index == 0) return false;
  const slot& entry = state.slots[index];
  return !entry.free && (handle & ~kSlotMask) == entry.sequence;
}

int32_t take_slot() {
  slot& head = state.slots[0];
  int32_t index = head.next_free;
  if (index == 0) return 0;
  slot& entry = state.slots[index];
  head.next_free = entry.next_free;
  entry.free = false;
  entry.voice = nullptr;
  entry.sequence =
      entry.sequence >= kSequenceLimit ? kSequenceStep : entry.sequence + kSequenceStep;
  return entry.sequence + index;
}

// Lets go of a voice that a slot no longer names. A started voice plays on and is
// released by the mixer when it ends; one never started goes straight back.
void detach(sound* voice) {
  if (voice == nullptr) return;
  switch (voice->place) {
    case voice_place::live:
      voice->auto_release.store(1, std::memory_order_release);
      break;
    case voice_place::fresh:
      core().give_back(voice);
      break;
    case voice_place::spare:
      // Already recycled; it no longer belongs to the slot.
      voice->handle = 0;
      break;
  }
}

void free_slot(int32_t handle) {
  int32_t index = handle & kSlotMask;
  slot& entry = state.slots[index];
  detach(entry.voice);
  entry.voice = nullptr;
  entry.free = true;
  entry.next_free = state.slots[0].next_free;
  state.slots[0].next_free = index;
}

// Marks a started voice finished unless the mixer has already idled it.
void finish(sound* voice) {
  int32_t status = voice->status.load(std::memory_order_relaxed);
  while (status != 0 &&
         !voice->status.compare_exchange_weak(status, 1, std::memory_order_release)) {
  }
}

// A voice for a new play, keeping the slot of keep_handle intact.
sound* obtain_voice(int32_t keep_handle) {
  sound* voice = core().obtain();
  const int32_t old_handle = voice->handle;
  if (old_handle != 0 && old_handle != keep_handle && valid(old_handle) &&
      state.slots[old_handle & kSlotMask].voice == voice) {
    // A recycled voice whose implicit channel was never given back: the channel
    // dies with the voice's reuse.
    state.slots[old_handle & kSlotMask].voice = nullptr;
    free_slot(old_handle);
  }
  voice->handle = 0;
  return voice;
}

// The voice of a valid handle, attaching a fresh one so that settings made before
// the first play are kept for it. nullptr for an invalid handle.
sound* voice_of(int32_t handle) {
  if (!valid(handle)) return nullptr;
  slot& entry = state.slots[handle & kSlotMask];
  if (entry.voice == nullptr) {
    sound* voice = obtain_voice(handle);
    voice->handle = handle;
    entry.voice = voice;
  }
  return entry.voice;
}

int16_t to_fixed16(float value) {
  if (std::isnan(value)) return 0;
  float scaled = value * 4096.0f;
  if (scaled >= 32767.0f) return 32767;
  if (scaled <= -32768.0f) return -32768;
  return static_cast<int16_t>(scaled);
}

}  // namespace

int32_t MixInit(audiodevice* device) {
  if (device == nullptr) return -1;
  if (state.device != nullptr) MixClose();
  if (device->open() != 0 || device->core == nullptr) {
    device->close();
    delete device;
    return -1;
  }
  state.device = device;
  state.slots.assign(kSlots, slot{});
  ++openings;
  const int32_t first_sequence = kSequenceStep * (1 + (openings % 1024) * 64);
  for (int32_t index = 0; index < kSlots; ++index) {
    state.slots[index].sequence = first_sequence;
    state.slots[index].next_free = index + 1 < kSlots ? index + 1 : 0;
  }
  state.slots[0].free = false;
  return 0;
}

void MixClose() {
  if (state.device == nullptr) return;
  audiodevice* device = state.device;
  // Slots forget their voices first: the mixer frees every voice when it goes.
  state.slots.clear();
  state.device = nullptr;
  device->close();
  delete device;
}

bool MixIsOpen() {
  return state.device != nullptr;
}

mixsample* MixCreateSound(int32_t length, int32_t bits, int32_t channels, int32_t hertz,
                          const void* data, int32_t loop) {
  if (length < 0 || (bits != 8 && bits != 16) || (channels != 1 && channels != 2) || hertz <= 0 ||
      hertz > (1 << 20) || (length > 0 && data == nullptr)) {
    return nullptr;
  }
  const int32_t bytes_per_frame = channels * bits / 8;
  const int64_t total = static_cast<int64_t>(length) * bytes_per_frame;
  if (total + bytes_per_frame > INT32_MAX) return nullptr;
  auto* bytes = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(total + bytes_per_frame)));
  if (bytes == nullptr) return nullptr;
  if (length > 0) {
    std::memcpy(bytes, data, static_cast<size_t>(total));
    const uint8_t* guard_source = loop ? bytes : bytes + total - bytes_per_frame;
    std::memcpy(bytes + total, guard_source, static_cast<size_t>(bytes_per_frame));
  } else {
    std::memset(bytes, bits == 8 ? 128 : 0, static_cast<size_t>(bytes_per_frame));
  }
  auto* sample = new mixsample;
  sample->hertz = hertz;
  sample->channels = channels;
  sample->bits = bits;
  sample->bytes_per_frame = bytes_per_frame;
  sample->length = length;
  sample->total_bytes = static_cast<int32_t>(total);
  sample->loop = loop ? 1 : 0;
  sample->data = bytes;
  sample->owns_data = true;
  return sample;
}

void MixFreeSound(mixsample* sample) {
  if (state.device != nullptr) core().collect();
  ReleaseMixSample(sample);
}

int32_t MixAllocChannel() {
  if (state.device == nullptr) return 0;
  return take_slot();
}

void MixFreeChannel(int32_t handle) {
  if (valid(handle)) free_slot(handle);
}

int32_t MixPlaySound(mixsample* sample, int32_t paused, int32_t handle) {
  if (state.device == nullptr || sample == nullptr) return handle;
  const bool implicit = handle == 0 || !valid(handle);
  sound* previous = nullptr;
  if (implicit) {
    handle = take_slot();
  } else {
    previous = voice_of(handle);
  }

  // Settings carry over from what the channel held before.
  const int32_t rate = previous ? previous->rate(1) : kUnityRate;
  const int16_t volume = static_cast<int16_t>(previous ? previous->volume(1) : kUnityGain);
  const int16_t pan = static_cast<int16_t>(previous ? previous->pan(1) : 0);
  const int16_t depth = static_cast<int16_t>(previous ? previous->depth(1) : 0);

  sound* voice = obtain_voice(handle);
  voice->rate_current.store(rate, std::memory_order_relaxed);
  voice->rate_target.store(rate, std::memory_order_relaxed);
  voice->volume_current.store(volume, std::memory_order_relaxed);
  voice->volume_target.store(volume, std::memory_order_relaxed);
  voice->pan_current.store(pan, std::memory_order_relaxed);
  voice->pan_target.store(pan, std::memory_order_relaxed);
  voice->depth_current.store(depth, std::memory_order_relaxed);
  voice->depth_target.store(depth, std::memory_order_relaxed);
  voice->status.store((sample->loop ? kVoiceLooping : kVoicePlaying) + (paused ? kVoicePaused : 0),
                      std::memory_order_relaxed);
  ++sample->references;
  voice->sample = sample;
  voice->position = 0;
  voice->played.store(0, std::memory_order_relaxed);
  voice->start_millis = state.device->now_millis();
  voice->auto_release.store(implicit ? 1 : 0, std::memory_order_relaxed);
  voice->handle = handle;
  if (!core().start(voice)) {
    // Every incoming entry is taken: the play is lost, and its channel reports finished.
    voice->status.store(kVoiceFinished, std::memory_order_relaxed);
  }

  if (handle != 0) {
    slot& entry = state.slots[handle & kSlotMask];
    if (entry.voice != nullptr && entry.voice != voice) {
      sound* old = entry.voice;
      detach(old);
      if (old->place == voice_place::live) finish(old);
    }
    entry.voice = voice;
  } else if (voice->place == voice_place::fresh) {
    core().give_back(voice);
  }
  return handle;
}

void MixStopChannel(int32_t handle) {
  if (!valid(handle)) return;
  sound* voice = state.slots[handle & kSlotMask].voice;
  if (voice != nullptr && voice->place == voice_place::live) {
    voice->auto_release.store(1, std::memory_order_release);
    finish(voice);
  }
  free_slot(handle);
}

void MixPauseChannel(int32_t handle, int32_t paused) {
  sound* voice = voice_of(handle);
  if (voice == nullptr) return;
  if (paused) {
    voice->status.fetch_or(kVoicePaused, std::memory_order_relaxed);
  } else {
    voice->status.fetch_and(~kVoicePaused, std::memory_order_relaxed);
  }
}

void MixSetVolume(int32_t handle, float volume) {
  if (sound* voice = voice_of(handle)) voice->set_volume(to_fixed16(volume));
}

void MixSetPan(int32_t handle, float pan) {
  if (sound* voice = voice_of(handle)) voice->set_pan(to_fixed16(pan));
}

void MixSetDepth(int32_t handle, float depth) {
  if (sound* voice = voice_of(handle)) voice->set_depth(to_fixed16(depth));
}

void MixSetRate(int32_t handle, float rate) {
  sound* voice = voice_of(handle);
  if (voice == nullptr) return;
  int32_t fixed = 0;
  if (rate > 0.0f) {
    float scaled = rate * 65536.0f;
    fixed = scaled >= 2147483520.0f ? INT32_MAX : static_cast<int32_t>(scaled);
  }
  voice->set_rate(fixed);
}

int32_t MixChannelStatus(int32_t handle) {
  sound* voice = voice_of(handle);
  return voice ? voice->status.load(std::memory_order_relaxed) : 0;
}

int32_t MixChannelPosition(int32_t handle) {
  sound* voice = voice_of(handle);
  return voice ? voice->played_frames() : 0;
}
