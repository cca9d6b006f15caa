// The block mixer: voices summed into a 64-bit accumulator with 16.16 rate stepping,
// linear interpolation, 4.12 gains and one-block ramps, then clipped to 16 bits.

#include "audio/mixer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "audio/mix_run.h"

void ReleaseMixSample(mixsample* sample) {
  if (sample == nullptr) return;
  if (--sample->references > 0) return;
  if (sample->owns_data) std::free(sample->data);
  delete sample;
}

// ---------------------------------------------------------------------------
// Voices

void sound::reset() {
  status.store(1, std::memory_order_relaxed);
  auto_release.store(0, std::memory_order_relaxed);
  next = nullptr;
  sample = nullptr;
  position = 0;
  played.store(0, std::memory_order_relaxed);
  rate_current.store(kUnityRate, std::memory_order_relaxed);
  rate_target.store(kUnityRate, std::memory_order_relaxed);
  volume_current.store(kUnityGain, std::memory_order_relaxed);
  volume_target.store(kUnityGain, std::memory_order_relaxed);
  pan_current.store(0, std::memory_order_relaxed);
  pan_target.store(0, std::memory_order_relaxed);
  depth_current.store(0, std::memory_order_relaxed);
  depth_target.store(0, std::memory_order_relaxed);
  start_millis = 0;
  start_delay = 0;
}

bool sound::paused() const {
  return (status.load(std::memory_order_relaxed) & 16) != 0;
}

void sound::set_rate(int32_t rate) {
  rate_target.store(rate, std::memory_order_relaxed);
  if (paused()) rate_current.store(rate, std::memory_order_relaxed);
}

void sound::set_volume(int16_t volume) {
  volume_target.store(volume, std::memory_order_relaxed);
  if (paused()) volume_current.store(volume, std::memory_order_relaxed);
}

void sound::set_pan(int16_t pan) {
  pan_target.store(pan, std::memory_order_relaxed);
  if (paused()) pan_current.store(pan, std::memory_order_relaxed);
}

void sound::set_depth(int16_t depth) {
  depth_target.store(depth, std::memory_order_relaxed);
}

int32_t sound::rate(int32_t which) const {
  return (which == 0 ? rate_current : rate_target).load(std::memory_order_relaxed);
}
int32_t sound::volume(int32_t which) const {
  return (which == 0 ? volume_current : volume_target).load(std::memory_order_relaxed);
}
int32_t sound::pan(int32_t which) const {
  return (which == 0 ? pan_current : pan_target).load(std::memory_order_relaxed);
}
int32_t sound::depth(int32_t which) const {
  return (which == 0 ? depth_current : depth_target).load(std::memory_order_relaxed);
}

int32_t sound::played_frames() const {
  int64_t frames = played.load(std::memory_order_relaxed) >> 16;
  return static_cast<int32_t>(std::min<int64_t>(frames, INT32_MAX));
}

// ---------------------------------------------------------------------------
// Mixing one voice

namespace {

struct gains {
  int32_t left;
  int32_t right;
};

gains gains_for(int32_t volume, int32_t pan, int32_t depth) {
  gains result{volume, volume};
  if (pan > 0) result.left = volume * (kUnityGain - pan) / kUnityGain;
  if (pan < 0) result.right = volume * (kUnityGain + pan) / kUnityGain;
  if (depth < 0) result.right = -result.right;
  return result;
}

// The value at 16.16 frame position, channel offset channel, linearly interpolated
// with the next frame (the guard frame after the last).
template <int32_t Channels, bool EightBit>
inline int32_t interpolate(const void* data, int64_t frame, int32_t fraction, int32_t channel) {
  int64_t index = frame * Channels + channel;
  int32_t a = mixrun::value_at<EightBit>(data, index);
  int32_t b = mixrun::value_at<EightBit>(data, index + Channels);
  return a + static_cast<int32_t>((static_cast<int64_t>(b - a) * fraction) >> 16);
}

struct voice_block {
  int64_t position;  // 16.16 frames
  int64_t end;       // 16.16 frames: length << 16
  bool loop;
  int64_t advanced = 0;  // 16.16 frames moved, unwrapped
  bool finished = false;
};

// Moves the position by step; wraps a loop, or reports the end of a one-shot.
inline bool advance(voice_block& block, int64_t step) {
  block.position += step;
  block.advanced += step;
  if (block.position < block.end) return true;
  if (block.loop) {
    block.position %= block.end;
    return true;
  }
  block.finished = true;
  return false;
}

// Steady mixing: constant step and gains.
template <int32_t Channels, bool EightBit>
void mix_steady(const mixsample& sample, voice_block& block, int64_t* out, int32_t frames,
                int64_t step, gains gain) {
  const void* data = sample.data;
  for (int32_t i = 0; i < frames; ++i) {
    int64_t frame = block.position >> 16;
    int32_t fraction = static_cast<int32_t>(block.position & 0xFFFF);
    int32_t left = interpolate<Channels, EightBit>(data, frame, fraction, 0);
    int32_t right =
        Channels == 2 ? interpolate<Channels, EightBit>(data, frame, fraction, 1) : left;
    out[2 * i] += (static_cast<int64_t>(left) * gain.left) >> 8;
    out[2 * i + 1] += (static_cast<int64_t>(right) * gain.right) >> 8;
    if (!advance(block, step)) return;
  }
}

// A block over which the rate and volume move linearly from current to target.
template <int32_t Channels, bool EightBit>
void mix_ramp(const mixsample& sample, voice_block& block, int64_t* out, int32_t frames,
              int64_t step_from, int64_t step_to, int32_t volume_from, int32_t volume_to,
              int32_t pan, int32_t depth) {
  const void* data = sample.data;
  // Both move with 16 (step) and 8 (volume) extra fraction bits.
  int64_t step = step_from << 16;
  const int64_t step_change = ((step_to - step_from) << 16) / frames;
  int64_t volume = static_cast<int64_t>(volume_from) * 256;
  const int64_t volume_change = static_cast<int64_t>(volume_to - volume_from) * 256 / frames;
  for (int32_t i = 0; i < frames; ++i) {
    gains gain = gains_for(static_cast<int32_t>(volume >> 8), pan, depth);
    int64_t frame = block.position >> 16;
    int32_t fraction = static_cast<int32_t>(block.position & 0xFFFF);
    int32_t left = interpolate<Channels, EightBit>(data, frame, fraction, 0);
    int32_t right =
        Channels == 2 ? interpolate<Channels, EightBit>(data, frame, fraction, 1) : left;
    out[2 * i] += (static_cast<int64_t>(left) * gain.left) >> 8;
    out[2 * i + 1] += (static_cast<int64_t>(right) * gain.right) >> 8;
    if (!advance(block, step >> 16)) return;
    step += step_change;
    volume += volume_change;
  }
}

// Steady mixing in runs of the 32-bit loop: the same sums as mix_steady, for a step and
// gains that mixrun::fits_run accepts.
template <int32_t Channels, bool EightBit>
void mix_steady_runs(const mixsample& sample, voice_block& block, int32_t* out, int32_t frames,
                     int64_t step, gains gain) {
  const auto* bytes = static_cast<const uint8_t*>(sample.data);
  const int32_t value_bytes = EightBit ? 1 : 2;
  while (frames > 0) {
    // Frames mixed before the position reaches the end: ceil((end - position) / step).
    int32_t run = std::min(frames, mixrun::kMaxFrames);
    if (step > 0) {
      const int64_t to_end = (block.end - block.position + step - 1) / step;
      if (to_end < run) run = static_cast<int32_t>(to_end);
    }
    const uint8_t* first = bytes + (block.position >> 16) * Channels * value_bytes;
    const auto fraction = static_cast<int32_t>(block.position & 0xFFFF);
    if constexpr (EightBit) {
      mixrun::mix_run<Channels, true>(first, fraction, static_cast<int32_t>(step), run, out,
                                      gain.left, gain.right);
    } else {
      mixrun::mix_run16<Channels>(reinterpret_cast<const int16_t*>(first), fraction,
                                  static_cast<int32_t>(step), run, out, gain.left, gain.right);
    }
    out += 2 * run;
    frames -= run;
    if (!advance(block, step * run)) return;
  }
}

using steady_fn = void (*)(const mixsample&, voice_block&, int64_t*, int32_t, int64_t, gains);
using runs_fn = void (*)(const mixsample&, voice_block&, int32_t*, int32_t, int64_t, gains);
using ramp_fn = void (*)(const mixsample&, voice_block&, int64_t*, int32_t, int64_t, int64_t,
                         int32_t, int32_t, int32_t, int32_t);

// Indexed by (channels - 1) * 2 + (bits == 8).
constexpr steady_fn kSteady[] = {mix_steady<1, false>, mix_steady<1, true>, mix_steady<2, false>,
                                 mix_steady<2, true>};
constexpr runs_fn kRuns[] = {mix_steady_runs<1, false>, mix_steady_runs<1, true>,
                             mix_steady_runs<2, false>, mix_steady_runs<2, true>};
constexpr ramp_fn kRamp[] = {mix_ramp<1, false>, mix_ramp<1, true>, mix_ramp<2, false>,
                             mix_ramp<2, true>};

// A silent voice moves as if it had been mixed.
void skip_silent(voice_block& block, int32_t frames, int64_t step) {
  int64_t distance = step * frames;
  if (block.loop) {
    block.position = (block.position + distance) % block.end;
    block.advanced += distance;
    return;
  }
  int64_t remaining = block.end - block.position;
  if (distance < remaining) {
    block.position += distance;
    block.advanced += distance;
    return;
  }
  // The frame on which a mixed voice would have stopped.
  int64_t steps = step > 0 ? (remaining + step - 1) / step : frames;
  block.position += steps * step;
  block.advanced += steps * step;
  block.finished = true;
}

}  // namespace

// Returns false once a one-shot voice has reached its end.
bool mixer::mix_voice(sound& voice, int32_t frames) {
  int32_t first = 0;
  if (voice.start_delay > 0) {
    if (voice.start_delay >= frames) {
      voice.start_delay -= frames;
      return true;
    }
    first = voice.start_delay;
    voice.start_delay = 0;
  }
  const int32_t count = frames - first;
  const mixsample& sample = *voice.sample;
  if (sample.length <= 0) return false;
  // A one-shot at its end stays there: the frame after the guard frame is not ours.
  if (!sample.loop && voice.position >= static_cast<int64_t>(sample.length) << 16) return false;

  const int32_t rate_from = voice.rate_current.load(std::memory_order_relaxed);
  const int32_t rate_to = voice.rate_target.load(std::memory_order_relaxed);
  const int32_t volume_from = voice.volume_current.load(std::memory_order_relaxed);
  const int32_t volume_to = voice.volume_target.load(std::memory_order_relaxed);
  const int32_t pan = voice.pan_target.load(std::memory_order_relaxed);
  const int32_t depth = voice.depth_target.load(std::memory_order_relaxed);
  const int64_t step_from = static_cast<int64_t>(rate_from) * sample.hertz / kMixHertz;
  const int64_t step_to = static_cast<int64_t>(rate_to) * sample.hertz / kMixHertz;

  voice_block block{voice.position, static_cast<int64_t>(sample.length) << 16, sample.loop != 0};
  const int32_t layout = (sample.channels - 1) * 2 + (sample.bits == 8 ? 1 : 0);
  int64_t* out = accumulator_.get() + 2 * first;
  if (rate_from != rate_to || volume_from != volume_to) {
    kRamp[layout](sample, block, out, count, step_from, step_to, volume_from, volume_to, pan,
                  depth);
    voice.rate_current.store(rate_to, std::memory_order_relaxed);
    voice.volume_current.store(static_cast<int16_t>(volume_to), std::memory_order_relaxed);
  } else if (volume_to == 0) {
    skip_silent(block, count, step_from);
  } else {
    const gains gain = gains_for(volume_to, pan, depth);
    if (path_ == mix_path::vector && mixrun::fits_run(step_from, gain.left, gain.right)) {
      kRuns[layout](sample, block, narrow_accumulator_.get() + 2 * first, count, step_from, gain);
      if (++narrow_voices_ == kNarrowVoices) flush_narrow();
    } else {
      kSteady[layout](sample, block, out, count, step_from, gain);
    }
  }
  voice.position = block.position;
  voice.played.store(voice.played.load(std::memory_order_relaxed) + block.advanced,
                     std::memory_order_relaxed);
  return !block.finished;
}

// ---------------------------------------------------------------------------
// The mixer

mixer::mixer(int32_t block_values)
    : block_values_(block_values),
      accumulator_(new int64_t[block_values]()),
      narrow_accumulator_(new int32_t[block_values]()) {}

void mixer::flush_narrow() {
  int64_t* wide = accumulator_.get();
  int32_t* narrow = narrow_accumulator_.get();
  for (int32_t i = 0; i < block_values_; ++i) {
    wide[i] += narrow[i];
    narrow[i] = 0;
  }
  narrow_voices_ = 0;
}

mixer::~mixer() {
  collect();
  for (auto& voice : voices_) {
    if (voice->sample != nullptr) {
      ReleaseMixSample(voice->sample);
      voice->sample = nullptr;
    }
  }
}

void mixer::recycle_or_keep(sound** link) {
  sound* voice = *link;
  // Once pushed, the voice belongs to the game thread: read its link first.
  sound* next = voice->next;
  voice->status.store(0, std::memory_order_relaxed);
  // A full ring keeps the voice linked, idle, for the next block to try again.
  if (recycle_.push(voice)) *link = next;
}

void mixer::mix(int16_t* out, uint32_t now_millis) {
  sound* arrived = nullptr;
  while (incoming_.pop(arrived)) {
    int32_t waited = static_cast<int32_t>(now_millis - arrived->start_millis);
    int32_t wait_left = kMixStartDelayMillis - waited;
    arrived->start_delay = wait_left > 0 ? wait_left * kMixHertz / 1000 : 0;
    arrived->next = active_;
    active_ = arrived;
  }

  const int32_t frames = block_values_ / kMixChannels;
  sound** link = &active_;
  while (sound* voice = *link) {
    int32_t status = voice->status.load(std::memory_order_acquire);
    if ((status & ~16) == 0) {
      recycle_or_keep(link);
      if (*link == voice) link = &voice->next;
      continue;
    }
    if (status & 16) {
      link = &voice->next;
      continue;
    }
    bool finished = status == 1 || !mix_voice(*voice, frames);
    if (finished) {
      if (voice->auto_release.load(std::memory_order_acquire)) {
        recycle_or_keep(link);
        if (*link == voice) link = &voice->next;
        continue;
      }
      // Stays linked, reporting finished, until its channel is stopped or reused. The
      // game thread may have paused or resumed it meanwhile: the end still holds (with
      // its pause bit kept), or a later resume would play on past the sample.
      while ((status & ~16) > 1) {
        if (voice->status.compare_exchange_weak(status, 1 | (status & 16),
                                                std::memory_order_relaxed)) {
          break;
        }
      }
    }
    link = &voice->next;
  }

  if (narrow_voices_ > 0) flush_narrow();
  int64_t* accumulator = accumulator_.get();
  for (int32_t i = 0; i < block_values_; ++i) {
    int64_t value = accumulator[i];
    if (value > 524271) {
      out[i] = 32767;
    } else if (value < -524288) {
      out[i] = -32768;
    } else {
      out[i] = static_cast<int16_t>(value >> 4);
    }
    accumulator[i] = 0;
  }
}

void mixer::release_all() {
  sound* arrived = nullptr;
  while (incoming_.pop(arrived)) {
    arrived->next = active_;
    active_ = arrived;
  }
  while (active_ != nullptr) {
    sound* voice = active_;
    recycle_or_keep(&active_);
    if (active_ == voice) {
      // The recycle ring is full: take the voice back directly (mixing has stopped).
      active_ = voice->next;
      ReleaseMixSample(voice->sample);
      voice->sample = nullptr;
      voice->place = voice_place::spare;
      spare_.push_back(voice);
    }
  }
}

void mixer::collect() {
  sound* voice = nullptr;
  while (recycle_.pop(voice)) {
    ReleaseMixSample(voice->sample);
    voice->sample = nullptr;
    voice->place = voice_place::spare;
    spare_.push_back(voice);
  }
}

sound* mixer::obtain() {
  collect();
  sound* voice;
  if (!spare_.empty()) {
    voice = spare_.back();
    spare_.pop_back();
  } else {
    voices_.push_back(std::make_unique<sound>(this));
    voice = voices_.back().get();
  }
  int32_t handle = voice->handle;
  voice->reset();
  voice->handle = handle;
  voice->place = voice_place::fresh;
  return voice;
}

void mixer::give_back(sound* voice) {
  if (voice->sample != nullptr) {
    ReleaseMixSample(voice->sample);
    voice->sample = nullptr;
  }
  voice->handle = 0;
  voice->status.store(0, std::memory_order_relaxed);
  voice->place = voice_place::spare;
  spare_.push_back(voice);
}

bool mixer::start(sound* voice) {
  if (!incoming_.push(voice)) return false;
  voice->place = voice_place::live;
  return true;
}
