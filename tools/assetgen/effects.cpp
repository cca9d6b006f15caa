// The eight sound effects.

#include <algorithm>
#include <cmath>

#include "tools/assetgen/sounds.h"

namespace {

AudioClip Mono(float seconds) {
  AudioClip clip;
  clip.channels = 1;
  clip.samples.assign(static_cast<size_t>(seconds * kSampleRate), 0.0f);
  return clip;
}

AudioClip Stereo(float seconds) {
  AudioClip clip;
  clip.channels = 2;
  clip.samples.assign(static_cast<size_t>(seconds * kSampleRate) * 2, 0.0f);
  return clip;
}

// Short fades at both ends so no effect starts or stops with a click.
void FadeEnds(AudioClip& clip, float in_seconds, float out_seconds) {
  const size_t frames = clip.frames();
  const size_t in = static_cast<size_t>(in_seconds * kSampleRate);
  const size_t out = static_cast<size_t>(out_seconds * kSampleRate);
  for (size_t i = 0; i < frames; ++i) {
    float gain = 1.0f;
    if (i < in) gain = static_cast<float>(i) / in;
    if (i + out > frames) gain *= static_cast<float>(frames - i) / out;
    for (int c = 0; c < clip.channels; ++c) clip.samples[i * clip.channels + c] *= gain;
  }
}

// A bell-like FM partial: carrier `hz`, modulator ratio and decaying index.
float Bell(float t, float hz, float ratio, float index, float decay) {
  float envelope = std::exp(-t / decay);
  float modulator = std::sin(kTwoPi * hz * ratio * t) * index * envelope;
  return std::sin(kTwoPi * hz * t + modulator) * envelope;
}

}  // namespace

AudioClip MakeShoot() {
  AudioClip clip = Mono(0.24f);
  Oscillator square, saw(0.25f);
  Filter filter;
  Noise noise(1);
  for (size_t i = 0; i < clip.frames(); ++i) {
    float t = static_cast<float>(i) / kSampleRate;
    float hz = 1500.0f * std::exp(-t * 16.0f) + 190.0f;
    float tone = square.Pulse(hz, 0.5f) * 0.5f + saw.Saw(hz * 1.01f) * 0.5f;
    float click = t < 0.008f ? noise.Next() * (1.0f - t / 0.008f) : 0.0f;
    filter.Set(7000.0f * std::exp(-t * 9.0f) + 900.0f, 0.3f);
    float envelope = std::min(1.0f, t / 0.002f) * std::exp(-t / 0.06f);
    clip.samples[i] = filter.Low(tone * envelope + click * 0.6f);
  }
  MasterEffect(clip, level::kShootPeak, 3.0f);  // the click's spike is limited
  FadeEnds(clip, 0.001f, 0.02f);
  return clip;
}

AudioClip MakeAstroHit() {
  AudioClip clip = Mono(0.5f);
  Noise noise(2);
  Filter band, low;
  Oscillator thump;
  float grain = 0;
  for (size_t i = 0; i < clip.frames(); ++i) {
    float t = static_cast<float>(i) / kSampleRate;
    // Crackle: the noise comes in random grains, like rock breaking.
    if (i % 180 == 0) grain = 0.35f + 0.65f * std::fabs(noise.Next());
    band.Set(2600.0f * std::exp(-t * 6.0f) + 350.0f, 0.45f);
    float crunch = band.Band(noise.Next()) * grain * std::exp(-t / 0.11f) * 2.2f;
    float thud = thump.Sine(150.0f * std::exp(-t * 9.0f) + 50.0f) * std::exp(-t / 0.09f);
    low.Set(5000.0f, 0.0f);
    clip.samples[i] = low.Low(std::tanh((crunch + thud * 0.9f) * 1.5f));
  }
  MasterEffect(clip, level::kAstroHitPeak, 6.0f);  // the crunch limited hard: dense, not peaky
  FadeEnds(clip, 0.001f, 0.05f);
  return clip;
}

AudioClip MakeStage() {
  AudioClip clip = Stereo(1.5f);
  // A rising arpeggio that lands on a held major chord.
  const float notes[] = {60, 64, 67, 72};
  const float chord[] = {60, 64, 67, 72, 76};
  for (int voice = 0; voice < 9; ++voice) {
    bool arpeggio = voice < 4;
    float note = arpeggio ? notes[voice] : chord[voice - 4];
    float start = arpeggio ? voice * 0.09f : 0.36f;
    float length = arpeggio ? 0.16f : 1.1f;
    float pan = arpeggio ? 0.5f + (voice - 1.5f) * 0.15f : 0.2f + (voice - 4) * 0.15f;
    Oscillator a, b(0.3f);
    Filter filter;
    float hz = MidiToHz(note);
    size_t first = static_cast<size_t>(start * kSampleRate);
    size_t count = static_cast<size_t>((length + 0.1f) * kSampleRate);
    for (size_t i = 0; i < count && first + i < clip.frames(); ++i) {
      float t = static_cast<float>(i) / kSampleRate;
      float attack = std::min(1.0f, t / 0.01f);
      float release = t > length ? std::max(0.0f, 1.0f - (t - length) / 0.1f) : 1.0f;
      float envelope = attack * release * (arpeggio ? 1.0f : std::exp(-t / 0.7f));
      float vibrato = 1.0f + 0.004f * std::sin(kTwoPi * 5.5f * t) * std::min(1.0f, t / 0.3f);
      float tone = a.Saw(hz * vibrato) * 0.6f + b.Pulse(hz * 1.003f * vibrato, 0.3f) * 0.4f;
      filter.Set(900.0f + 5000.0f * envelope, 0.2f);
      float v = filter.Low(tone) * envelope * (arpeggio ? 0.5f : 0.28f);
      clip.samples[(first + i) * 2] += v * (1.0f - pan);
      clip.samples[(first + i) * 2 + 1] += v * pan;
    }
  }
  MasterEffect(clip, level::kStagePeak, 0.0f);
  FadeEnds(clip, 0.001f, 0.1f);
  return clip;
}

AudioClip MakeBonus() {
  AudioClip clip = Stereo(1.4f);
  const float notes[] = {88, 92, 95, 100, 104};
  for (int n = 0; n < 5; ++n) {
    float start = n * 0.07f;
    float hz = MidiToHz(notes[n]);
    float pan = n % 2 ? 0.75f : 0.25f;
    for (size_t i = static_cast<size_t>(start * kSampleRate); i < clip.frames(); ++i) {
      float t = static_cast<float>(i) / kSampleRate - start;
      float v =
          Bell(t, hz, 3.5f, 2.2f, 0.35f) * 0.6f + Bell(t, hz * 2.0f, 1.4f, 1.0f, 0.18f) * 0.25f;
      v *= std::min(1.0f, t / 0.002f) * 0.3f;
      clip.samples[i * 2] += v * (1.0f - pan);
      clip.samples[i * 2 + 1] += v * pan;
    }
  }
  MasterEffect(clip, level::kBonusPeak, 0.0f);
  FadeEnds(clip, 0.001f, 0.15f);
  return clip;
}

AudioClip MakeCloak() {
  AudioClip clip = Stereo(1.1f);
  const size_t frames = clip.frames();
  std::vector<float> dry(frames);
  Oscillator saws[3] = {Oscillator(0.0f), Oscillator(0.33f), Oscillator(0.66f)};
  Oscillator sweep;
  Noise noise(5);
  Filter air;
  for (size_t i = 0; i < frames; ++i) {
    float t = static_cast<float>(i) / kSampleRate;
    float body = saws[0].Saw(110.0f) + saws[1].Saw(110.9f) + saws[2].Saw(164.5f);
    air.Set(3000.0f, 0.0f);
    float hiss = air.Low(noise.Next());
    float rise = sweep.Triangle(300.0f * std::pow(4.0f, t / 1.1f));
    float tremolo = 0.7f + 0.3f * std::sin(kTwoPi * 11.0f * t);
    float envelope = std::min(1.0f, t / 0.12f) * std::min(1.0f, (1.1f - t) / 0.35f);
    dry[i] = (body * 0.25f + hiss * 0.5f + rise * 0.35f * tremolo) * envelope;
  }
  // Two flangers with opposite sweeps, one per ear: the phasing moves across the head.
  for (int channel = 0; channel < 2; ++channel) {
    for (size_t i = 0; i < frames; ++i) {
      float t = static_cast<float>(i) / kSampleRate;
      float lfo = 0.5f + 0.5f * std::sin(kTwoPi * 1.4f * t + channel * 3.14159f);
      float delay = (0.0008f + 0.006f * lfo) * kSampleRate;
      float position = static_cast<float>(i) - delay;
      float delayed = 0;
      if (position >= 0) {
        size_t k = static_cast<size_t>(position);
        float frac = position - k;
        delayed = dry[k] * (1 - frac) + (k + 1 < frames ? dry[k + 1] : 0.0f) * frac;
      }
      clip.samples[i * 2 + channel] = dry[i] + delayed * 0.9f;
    }
  }
  MasterEffect(clip, level::kCloakPeak, 0.0f);
  FadeEnds(clip, 0.005f, 0.05f);
  return clip;
}

AudioClip MakeThrust() {
  AudioClip clip = Mono(0.9f);
  Noise noise(6);
  Filter low, body, wobble_filter;
  float brown = 0;
  for (size_t i = 0; i < clip.frames(); ++i) {
    float t = static_cast<float>(i) / kSampleRate;
    brown = brown * 0.995f + noise.Next() * 0.1f;
    low.Set(420.0f, 0.1f);
    body.Set(85.0f, 0.7f);
    wobble_filter.Set(8.0f, 0.0f);
    float wobble = 0.75f + 2.5f * wobble_filter.Low(noise.Next());
    float rumble = low.Low(brown) + body.Band(brown) * 0.8f;
    float envelope = std::min(1.0f, t / 0.06f) * std::min(1.0f, (0.9f - t) / 0.45f);
    clip.samples[i] = std::tanh(rumble * 3.0f) * wobble * envelope;
  }
  MasterEffect(clip, level::kThrustPeak, 0.0f);
  FadeEnds(clip, 0.002f, 0.05f);
  return clip;
}

AudioClip MakeExplode() {
  AudioClip clip = Stereo(2.3f);
  Noise noise_left(7), noise_right(8);
  Filter low_left, low_right, crack_left, crack_right;
  Oscillator boom;
  for (size_t i = 0; i < clip.frames(); ++i) {
    float t = static_cast<float>(i) / kSampleRate;
    float sub = boom.Sine(95.0f * std::exp(-t * 3.5f) + 28.0f) * std::exp(-t / 0.45f);
    float cutoff = 3200.0f * std::exp(-t * 3.0f) + 120.0f;
    low_left.Set(cutoff, 0.15f);
    low_right.Set(cutoff * 0.93f, 0.15f);
    crack_left.Set(2200.0f, 0.3f);
    crack_right.Set(2400.0f, 0.3f);
    float left_noise = noise_left.Next(), right_noise = noise_right.Next();
    float rumble_envelope = std::min(1.0f, t / 0.004f) * std::exp(-t / 0.55f);
    float crack = t < 0.05f ? (1.0f - t / 0.05f) * 0.8f : 0.0f;
    float left = low_left.Low(left_noise) * rumble_envelope * 1.6f +
                 crack_left.Band(left_noise) * crack + sub;
    float right = low_right.Low(right_noise) * rumble_envelope * 1.6f +
                  crack_right.Band(right_noise) * crack + sub;
    clip.samples[i * 2] = std::tanh(left * 1.8f);
    clip.samples[i * 2 + 1] = std::tanh(right * 1.8f);
  }
  MasterEffect(clip, level::kExplodePeak, 2.0f);
  FadeEnds(clip, 0.006f, 0.3f);
  return clip;
}

AudioClip MakeUfoLoop() {
  // Exactly one second, and every component completes whole cycles in it, so the
  // end joins the start without a click when the sound repeats.
  AudioClip clip = Mono(1.0f);
  const size_t frames = clip.frames();
  for (size_t i = 0; i < frames; ++i) {
    double t = static_cast<double>(i) / kSampleRate;
    double warble = std::sin(2 * M_PI * 8.0 * t);
    double phase1 = 2 * M_PI * 180.0 * t + (28.0 / 8.0) * warble;
    double phase2 = 2 * M_PI * 271.0 * t - (40.0 / 8.0) * warble;
    double phase3 = 2 * M_PI * 90.0 * t;
    double tremolo = 0.8 + 0.2 * std::sin(2 * M_PI * 4.0 * t);
    double v =
        std::tanh(2.2 * std::sin(phase1)) * 0.45 + std::sin(phase2) * 0.3 + std::sin(phase3) * 0.25;
    clip.samples[i] = static_cast<float>(v * tremolo);
  }
  // Start the loop where the hum is quiet and slow, where the encoder's edges are
  // least disturbed; rotating a whole period keeps it seamless.
  size_t best = 0;
  float best_score = 1e9f;
  for (size_t i = 1; i + 1 < frames; ++i) {
    float score =
        std::fabs(clip.samples[i]) + 4 * std::fabs(clip.samples[i + 1] - clip.samples[i - 1]);
    if (score < best_score) best = i, best_score = score;
  }
  std::rotate(clip.samples.begin(), clip.samples.begin() + best, clip.samples.end());
  MasterLoop(clip, level::kHumRms, level::kHumPeak);
  return clip;
}
