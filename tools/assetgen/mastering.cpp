// Gain staging for the generated sounds. The mixer adds every playing sound at the
// level it was recorded at and clamps the sum, so each asset is written with headroom:
// the music at a fixed loudness under a low peak ceiling, each effect under a ceiling
// of its own, so that music, hum and overlapping effects together stay off full scale.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "tools/assetgen/sounds.h"

namespace {

float FramePeak(const AudioClip& clip, size_t frame) {
  float peak = 0;
  for (int c = 0; c < clip.channels; ++c)
    peak = std::max(peak, std::fabs(clip.samples[frame * clip.channels + c]));
  return peak;
}

}  // namespace

float DbToGain(float db) {
  return std::pow(10.0f, db / 20.0f);
}

float PeakOf(const AudioClip& clip) {
  float peak = 0;
  for (float v : clip.samples) peak = std::max(peak, std::fabs(v));
  return peak;
}

float RmsOf(const AudioClip& clip) {
  if (clip.samples.empty()) return 0;
  double sum = 0;
  for (float v : clip.samples) sum += static_cast<double>(v) * v;
  return static_cast<float>(std::sqrt(sum / static_cast<double>(clip.samples.size())));
}

void RemoveDc(AudioClip& clip, bool loop) {
  // One-pole high-pass at 10 Hz. Round a loop it runs twice and keeps the second
  // pass, which starts in the state the first ended in: no step at the join.
  const float pole = 1.0f / (1.0f + kTwoPi * 10.0f / kSampleRate);
  const size_t frames = clip.frames();
  for (int c = 0; c < clip.channels; ++c) {
    float last_in = loop && frames > 0 ? clip.samples[(frames - 1) * clip.channels + c] : 0.0f;
    float last_out = 0;
    std::vector<float> out(frames);
    for (int pass = loop ? 0 : 1; pass < 2; ++pass) {
      for (size_t i = 0; i < frames; ++i) {
        const float in = clip.samples[i * clip.channels + c];
        last_out = pole * (last_out + in - last_in);
        last_in = in;
        out[i] = last_out;
      }
    }
    for (size_t i = 0; i < frames; ++i) clip.samples[i * clip.channels + c] = out[i];
  }
}

void LimitPeaks(AudioClip& clip, float ceiling, bool loop) {
  const size_t frames = clip.frames();
  if (frames == 0) return;
  // The gain a frame needs, held 2 ms either side and then averaged over the same
  // span: every frame's gain is at most what the frames within 2 ms of it need, so
  // no sample passes the ceiling, and the gain bends down over 4 ms, not at once.
  const auto radius = static_cast<std::ptrdiff_t>(kSampleRate / 500);
  const auto count = static_cast<std::ptrdiff_t>(frames);
  auto at = [&](std::ptrdiff_t i) -> std::ptrdiff_t {
    if (loop) return ((i % count) + count) % count;
    return i < 0 || i >= count ? -1 : i;
  };
  std::vector<float> held(frames, 1.0f);
  bool any = false;
  for (std::ptrdiff_t i = 0; i < count; ++i) {
    const float peak = FramePeak(clip, static_cast<size_t>(i));
    if (peak <= ceiling) continue;
    any = true;
    for (std::ptrdiff_t j = i - radius; j <= i + radius; ++j) {
      const std::ptrdiff_t k = at(j);
      if (k >= 0) held[k] = std::min(held[k], ceiling / peak);
    }
  }
  if (!any) return;
  std::vector<float> gain(frames);
  double sum = 0;
  for (std::ptrdiff_t j = -radius; j <= radius; ++j) sum += at(j) >= 0 ? held[at(j)] : 1.0f;
  for (std::ptrdiff_t i = 0; i < count; ++i) {
    gain[i] = static_cast<float>(sum / static_cast<double>(2 * radius + 1));
    const std::ptrdiff_t leaving = at(i - radius), entering = at(i + radius + 1);
    sum += (entering >= 0 ? held[entering] : 1.0f) - (leaving >= 0 ? held[leaving] : 1.0f);
  }
  // Release: the gain returns to 1 over about 50 ms instead of jumping back, which
  // would pump on a run of peaks. It never rises above what the frame allows.
  const float release = 1.0f / (0.05f * kSampleRate);
  float level = 1.0f;
  for (int pass = loop ? 0 : 1; pass < 2; ++pass) {
    for (size_t i = 0; i < frames; ++i) {
      level = std::min(gain[i], level + (1.0f - level) * release);
      if (pass == 1) gain[i] = level;
    }
  }
  for (size_t i = 0; i < frames; ++i) {
    for (int c = 0; c < clip.channels; ++c) {
      float& v = clip.samples[i * clip.channels + c];
      v = std::clamp(v * gain[i], -ceiling, ceiling);
    }
  }
}

void MasterEffect(AudioClip& clip, float ceiling_dbfs, float drive_db) {
  RemoveDc(clip, false);
  const float ceiling = DbToGain(ceiling_dbfs);
  Normalize(clip, ceiling * DbToGain(drive_db));
  LimitPeaks(clip, ceiling, false);
}

void MasterLoop(AudioClip& clip, float rms_dbfs, float ceiling_dbfs) {
  RemoveDc(clip, true);
  const float ceiling = DbToGain(ceiling_dbfs), target = DbToGain(rms_dbfs);
  // Limiting takes a little off the RMS level; further rounds put it back.
  for (int round = 0; round < 3; ++round) {
    const float rms = RmsOf(clip);
    if (rms <= 0) return;
    for (float& v : clip.samples) v *= target / rms;
    LimitPeaks(clip, ceiling, true);
  }
}
