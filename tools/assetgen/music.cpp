// The two music tracks: a small sequencer, a handful of instruments and a
// composer that writes melodies over chord progressions. Every note's tail that
// runs past the end wraps round to the beginning, and the echo is computed over
// two passes, so each track loops without a seam.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "tools/assetgen/canvas.h"
#include "tools/assetgen/sounds.h"

namespace {

constexpr int kStepsPerBar = 16;

struct Chord {
  int root;  // MIDI note of the root in the bass octave
  bool minor;
  std::vector<int> Tones() const { return {root, root + (minor ? 3 : 4), root + 7}; }
};

struct Note {
  int step;    // from the start of the track, in sixteenths
  int length;  // in sixteenths
  float pitch;
  float velocity;
};

// A stereo mix buffer whose writes past the end wrap to the start.
class LoopBuffer {
 public:
  explicit LoopBuffer(size_t frames) : frames_(frames), samples_(frames * 2, 0.0f) {}
  void Add(size_t frame, float left, float right) {
    frame %= frames_;
    samples_[frame * 2] += left;
    samples_[frame * 2 + 1] += right;
  }
  size_t frames() const { return frames_; }
  float* data() { return samples_.data(); }
  const std::vector<float>& samples() const { return samples_; }

 private:
  size_t frames_;
  std::vector<float> samples_;
};

struct Pan {
  float left, right;
};
Pan Panned(float position) {  // -1 left .. 1 right, constant power
  float angle = (position + 1.0f) * 0.25f * 3.14159265f;
  return {std::cos(angle), std::sin(angle)};
}

struct Song {
  int samples_per_step;
  int bars;
  size_t Frames() const { return static_cast<size_t>(bars) * kStepsPerBar * samples_per_step; }
  size_t StepFrame(int step) const { return static_cast<size_t>(step) * samples_per_step; }
  float StepSeconds() const { return static_cast<float>(samples_per_step) / kSampleRate; }
};

// ---- Instruments: each renders one note into a buffer. ----

void Bass(LoopBuffer& out, const Song& song, const Note& note, bool round) {
  size_t start = song.StepFrame(note.step);
  float length = note.length * song.StepSeconds() * 0.9f;
  float hz = MidiToHz(note.pitch);
  size_t count = static_cast<size_t>((length + 0.05f) * kSampleRate);
  Oscillator saw, sub, sine;
  Filter filter;
  Pan pan = Panned(0.0f);
  for (size_t i = 0; i < count; ++i) {
    float t = static_cast<float>(i) / kSampleRate;
    float envelope = std::min(1.0f, t / 0.003f) *
                     (t > length ? std::max(0.0f, 1.0f - (t - length) / 0.05f) : 1.0f);
    float v;
    if (round) {
      v = sine.Sine(hz) * 0.8f + sub.Pulse(hz, 0.5f) * 0.25f;
      if (i % 8 == 0) filter.Set(500.0f + 900.0f * std::exp(-t / 0.15f), 0.2f);
    } else {
      v = saw.Saw(hz) * 0.8f + sub.Pulse(hz * 0.5f, 0.5f) * 0.35f;
      if (i % 8 == 0) filter.Set(170.0f + 2300.0f * note.velocity * std::exp(-t / 0.09f), 0.55f);
    }
    v = filter.Low(v) * envelope * note.velocity * 0.3f;
    out.Add(start + i, v * pan.left, v * pan.right);
  }
}

void Lead(LoopBuffer& out, const Song& song, const Note& note, bool bright, float position) {
  size_t start = song.StepFrame(note.step);
  float length = note.length * song.StepSeconds() * 0.92f;
  float hz = MidiToHz(note.pitch);
  size_t count = static_cast<size_t>((length + 0.14f) * kSampleRate);
  Oscillator a, b(0.4f);
  Filter filter;
  Pan pan = Panned(position);
  for (size_t i = 0; i < count; ++i) {
    float t = static_cast<float>(i) / kSampleRate;
    float envelope = std::min(1.0f, t / 0.008f) *
                     (t > length ? std::max(0.0f, 1.0f - (t - length) / 0.13f) : 1.0f);
    float depth = bright ? 0.009f : 0.006f;
    float vibrato = 1.0f + depth * std::sin(kTwoPi * 5.5f * t) * SmoothStep(0.1f, 0.35f, t);
    float v = bright ? a.Saw(hz * vibrato) * 0.55f + b.Saw(hz * 1.006f * vibrato) * 0.45f
                     : a.Pulse(hz * vibrato, 0.3f) * 0.6f + b.Saw(hz * vibrato) * 0.4f;
    if (i % 8 == 0) filter.Set(1300.0f + 4200.0f * std::exp(-t / 0.25f), 0.3f);
    v = filter.Low(v) * envelope * note.velocity * 0.3f;
    out.Add(start + i, v * pan.left, v * pan.right);
  }
}

void Pluck(LoopBuffer& out, const Song& song, const Note& note, bool bell, float position) {
  size_t start = song.StepFrame(note.step);
  float hz = MidiToHz(note.pitch);
  size_t count = static_cast<size_t>(0.4f * kSampleRate);
  Oscillator osc;
  Filter filter;
  Pan pan = Panned(position);
  for (size_t i = 0; i < count; ++i) {
    float t = static_cast<float>(i) / kSampleRate;
    float envelope = std::min(1.0f, t / 0.002f) * std::exp(-t / (bell ? 0.12f : 0.08f));
    float v;
    if (bell) {
      float modulator = std::sin(kTwoPi * hz * 2.0f * t) * 1.6f * std::exp(-t / 0.05f);
      v = std::sin(kTwoPi * hz * t + modulator);
    } else {
      v = osc.Pulse(hz, 0.5f);
      if (i % 8 == 0) filter.Set(1800.0f + 3500.0f * std::exp(-t / 0.05f), 0.2f);
      v = filter.Low(v);
    }
    v *= envelope * note.velocity * 0.13f;
    out.Add(start + i, v * pan.left, v * pan.right);
  }
}

void Pad(LoopBuffer& out, const Song& song, const Note& note, float brightness) {
  size_t start = song.StepFrame(note.step);
  float length = note.length * song.StepSeconds();
  float hz = MidiToHz(note.pitch);
  size_t count = static_cast<size_t>((length + 0.45f) * kSampleRate);
  Oscillator left(0.1f), right(0.6f);
  Filter filter_left, filter_right;
  filter_left.Set(brightness, 0.1f);
  filter_right.Set(brightness, 0.1f);
  for (size_t i = 0; i < count; ++i) {
    float t = static_cast<float>(i) / kSampleRate;
    float envelope = std::min(1.0f, t / 0.25f) *
                     (t > length ? std::max(0.0f, 1.0f - (t - length) / 0.45f) : 1.0f);
    float gain = envelope * note.velocity * 0.07f;
    float l = filter_left.Low(left.Saw(hz * 0.996f)) * gain;
    float r = filter_right.Low(right.Saw(hz * 1.004f)) * gain;
    out.Add(start + i, l, r);
  }
}

void Kick(LoopBuffer& out, const Song& song, int step, float velocity) {
  size_t start = song.StepFrame(step);
  Oscillator body;
  for (size_t i = 0; i < static_cast<size_t>(0.4f * kSampleRate); ++i) {
    float t = static_cast<float>(i) / kSampleRate;
    float v = body.Sine(46.0f + 115.0f * std::exp(-t / 0.035f)) * std::exp(-t / 0.2f);
    v = std::tanh(v * 1.6f) * velocity * 0.5f;
    out.Add(start + i, v, v);
  }
}

void Snare(LoopBuffer& out, const Song& song, int step, float velocity, uint32_t seed) {
  size_t start = song.StepFrame(step);
  Noise noise(seed);
  Oscillator tone;
  Filter band, high;
  band.Set(1900.0f, 0.3f);
  high.Set(700.0f, 0.0f);
  for (size_t i = 0; i < static_cast<size_t>(0.3f * kSampleRate); ++i) {
    float t = static_cast<float>(i) / kSampleRate;
    float n = noise.Next();
    float v = (band.Band(n) * 1.2f + high.High(n) * 0.5f) * std::exp(-t / 0.09f);
    v += tone.Sine(185.0f) * std::exp(-t / 0.045f) * 0.6f;
    v *= velocity * 0.32f;
    out.Add(start + i, v * 0.95f, v);
  }
}

void Hat(LoopBuffer& out, const Song& song, int step, float velocity, bool open, uint32_t seed) {
  size_t start = song.StepFrame(step);
  Noise noise(seed);
  Filter high;
  high.Set(7500.0f, 0.2f);
  float decay = open ? 0.14f : 0.028f;
  Pan pan = Panned(0.35f);
  for (size_t i = 0; i < static_cast<size_t>(decay * 5 * kSampleRate); ++i) {
    float t = static_cast<float>(i) / kSampleRate;
    float v = high.High(noise.Next()) * std::exp(-t / decay) * velocity * 0.15f;
    out.Add(start + i, v * pan.left, v * pan.right);
  }
}

// Ping-pong echo over a loop: the first pass fills the delay lines from the end
// of the track, the second writes the output, so the echo wraps seamlessly.
void PingPong(const LoopBuffer& send, LoopBuffer& out, size_t delay, float feedback, float level) {
  std::vector<float> left(delay, 0.0f), right(delay, 0.0f);
  const size_t frames = send.frames();
  const std::vector<float>& in = send.samples();
  float tone_left = 0, tone_right = 0;
  size_t position = 0;
  for (size_t pass = 0; pass < 2; ++pass) {
    for (size_t n = 0; n < frames; ++n) {
      float echo_left = left[position], echo_right = right[position];
      float mono = (in[n * 2] + in[n * 2 + 1]) * 0.5f;
      tone_left += (echo_right - tone_left) * 0.35f;
      tone_right += (echo_left - tone_right) * 0.35f;
      left[position] = mono + tone_left * feedback;
      right[position] = tone_right * feedback;
      position = (position + 1) % delay;
      if (pass == 1) out.Add(n, echo_left * level, echo_right * level);
    }
  }
}

// ---- Composition ----

struct Rhythm {
  std::vector<std::pair<int, int>> notes;  // (step, length) within two bars
};

const Rhythm kRhythms[] = {
    {{{0, 3}, {3, 3}, {6, 2}, {8, 4}, {12, 2}, {14, 2}, {16, 6}, {22, 2}, {24, 4}, {28, 4}}},
    {{{0, 2}, {2, 2}, {4, 4}, {8, 2}, {10, 2}, {12, 4}, {16, 3}, {19, 3}, {22, 2}, {24, 8}}},
    {{{0, 4}, {4, 2}, {6, 2}, {8, 6}, {14, 2}, {16, 2}, {18, 2}, {20, 2}, {22, 2}, {24, 8}}},
    {{{2, 2}, {4, 2}, {6, 4}, {10, 2}, {12, 4}, {18, 2}, {20, 2}, {22, 4}, {26, 6}}},
};
const Rhythm kEnding = {{{0, 3}, {3, 3}, {6, 2}, {8, 8}, {16, 16}}};

// Nearest pitch to `target` among the pitch classes of `classes`, inside [low, high].
int Nearest(const std::vector<int>& classes, float target, int low, int high) {
  int best = low, best_distance = 1000;
  for (int p = low; p <= high; ++p) {
    for (int c : classes) {
      if (((p - c) % 12 + 12) % 12 != 0) continue;
      int distance = static_cast<int>(std::fabs(p - target) * 2);
      if (distance < best_distance) best = p, best_distance = distance;
    }
  }
  return best;
}

// Eight bars of melody: phrase, answer, the phrase again over new chords, and a close.
std::vector<Note> Compose(uint32_t seed, int first_bar, const std::vector<Chord>& progression,
                          const std::vector<int>& scale, int low, int high, int rhythm_a,
                          int rhythm_b) {
  std::vector<Note> melody;
  Rng rng(seed);
  const Rng phrase_start = rng;
  float pitch = (low + high) * 0.5f;
  auto chord_at = [&](int bar) { return progression[bar % progression.size()]; };
  for (int phrase = 0; phrase < 4; ++phrase) {
    if (phrase == 2) rng = phrase_start;  // the same gestures over different chords
    const Rhythm& rhythm =
        phrase == 3 ? kEnding : (phrase == 1 ? kRhythms[rhythm_b] : kRhythms[rhythm_a]);
    int bar0 = first_bar + phrase * 2;
    for (size_t k = 0; k < rhythm.notes.size(); ++k) {
      auto [step, length] = rhythm.notes[k];
      Chord chord = chord_at(bar0 + step / kStepsPerBar);
      bool strong = step % 8 == 0 || length >= 4;
      int choice;
      if (phrase == 3 && k + 1 == rhythm.notes.size()) {
        choice = Nearest({chord.root}, pitch, low, high);
      } else if (strong) {
        choice = Nearest(chord.Tones(), pitch + rng.Range(-5.0f, 5.0f), low, high);
      } else {
        int move = rng.Int(-2, 2);
        if (move == 0) move = 1;
        // Walk the scale from the last pitch.
        int p = static_cast<int>(pitch);
        int direction = move > 0 ? 1 : -1;
        for (int moved = 0; moved < std::abs(move);) {
          p += direction;
          if (p < low || p > high) direction = -direction, p += 2 * direction;
          if (std::find(scale.begin(), scale.end(), ((p % 12) + 12) % 12) != scale.end()) ++moved;
        }
        choice = p;
      }
      pitch = static_cast<float>(choice);
      float velocity = strong ? 1.0f : 0.8f + rng.Range(0.0f, 0.15f);
      melody.push_back({bar0 * kStepsPerBar + step, length, pitch, velocity});
    }
  }
  return melody;
}

std::vector<int> ScaleOf(int key, bool minor) {
  static const int kMinor[] = {0, 2, 3, 5, 7, 8, 10};
  static const int kMajor[] = {0, 2, 4, 5, 7, 9, 11};
  std::vector<int> scale;
  for (int i = 0; i < 7; ++i) scale.push_back((key + (minor ? kMinor[i] : kMajor[i])) % 12);
  return scale;
}

AudioClip Finish(LoopBuffer& dry, const LoopBuffer& send, const Song& song, size_t echo_steps,
                 float echo_level) {
  PingPong(send, dry, song.StepFrame(static_cast<int>(echo_steps)), 0.38f, echo_level);
  const std::vector<float>& sends = send.samples();
  float* mix = dry.data();
  for (size_t i = 0; i < sends.size(); ++i) mix[i] += sends[i];
  AudioClip clip;
  clip.channels = 2;
  clip.samples.resize(dry.frames() * 2);
  for (size_t i = 0; i < clip.samples.size(); ++i) clip.samples[i] = std::tanh(mix[i] * 1.1f);
  MasterLoop(clip, level::kMusicRms, level::kMusicPeak);
  return clip;
}

}  // namespace

AudioClip MakeTrackA() {
  // A minor, 126 beats a minute, driving four-on-the-floor.
  Song song{5250, 32};
  const std::vector<Chord> progression = {{45, true}, {41, false}, {48, false}, {43, false},
                                          {45, true}, {41, false}, {43, false}, {40, false}};
  const std::vector<int> scale = ScaleOf(9, true);
  LoopBuffer dry(song.Frames()), send(song.Frames());
  uint32_t hit = 0;
  std::vector<Note> theme = Compose(11, 4, progression, scale, 69, 84, 0, 1);
  std::vector<Note> answer = Compose(23, 12, progression, scale, 71, 86, 2, 3);
  for (int bar = 0; bar < song.bars; ++bar) {
    const Chord chord = progression[bar % progression.size()];
    const int base = bar * kStepsPerBar;
    const bool intro = bar < 4, breakdown = bar >= 20 && bar < 24;
    const bool full = !intro && !breakdown;
    for (int tone : chord.Tones()) {
      int pitch = tone + 12;
      if (pitch < 55) pitch += 12;
      Pad(dry, song, {base, kStepsPerBar, static_cast<float>(pitch), breakdown ? 1.2f : 0.9f},
          breakdown ? 2600.0f : 1500.0f);
    }
    for (int beat = 0; beat < 4; ++beat) {
      int step = base + beat * 4;
      if (full || (intro && bar >= 2)) Kick(dry, song, step, beat == 0 ? 1.0f : 0.9f);
      if (full && (beat == 1 || beat == 3)) Snare(dry, song, step, 1.0f, ++hit);
      Hat(dry, song, step + 2, full ? 0.9f : 0.6f, full && beat == 3 && bar % 2 == 1, ++hit);
      if (full && bar >= 12) Hat(dry, song, step + 3, 0.35f, false, ++hit);
    }
    if (breakdown) {
      Bass(dry, song, {base, kStepsPerBar, static_cast<float>(chord.root), 0.7f}, true);
      if (bar == 23) {
        for (int s = 8; s < 16; ++s) Snare(dry, song, base + s, 0.3f + 0.08f * (s - 8), ++hit);
      }
    } else if (!intro || bar >= 2) {
      for (int eighth = 0; eighth < 8; ++eighth) {
        float pitch = static_cast<float>(chord.root + (eighth % 2 ? 12 : 0));
        Bass(dry, song, {base + eighth * 2, 2, pitch, eighth % 4 == 0 ? 1.0f : 0.75f}, false);
      }
    }
    if (bar >= 12) {
      std::vector<int> tones = chord.Tones();
      tones.push_back(chord.root + 12);
      for (int s = 0; s < kStepsPerBar; ++s) {
        float pitch = static_cast<float>(tones[s % 4] + 36);
        Pluck(send, song, {base + s, 1, pitch, s % 4 == 0 ? 1.0f : 0.7f}, false,
              s % 2 ? 0.4f : -0.4f);
      }
    }
  }
  for (const Note& note : theme) {
    Lead(send, song, note, false, 0.0f);
    Note reprise = note;
    reprise.step += 20 * kStepsPerBar;  // the theme returns at bar 24
    Lead(send, song, reprise, false, -0.1f);
    reprise.pitch += 12;
    reprise.velocity *= 0.35f;
    Lead(send, song, reprise, true, 0.3f);
  }
  for (const Note& note : answer) Lead(send, song, note, true, 0.05f);
  return Finish(dry, send, song, 3, 0.32f);
}

AudioClip MakeTrackB() {
  // D minor, 98 beats a minute, half-time groove with a bell arpeggio.
  Song song{6750, 28};
  const std::vector<Chord> progression = {{38, true}, {46, false}, {43, true},  {45, false},
                                          {38, true}, {48, false}, {46, false}, {45, false}};
  const std::vector<int> scale = ScaleOf(2, true);
  LoopBuffer dry(song.Frames()), send(song.Frames());
  uint32_t hit = 1000;
  std::vector<Note> theme = Compose(101, 4, progression, scale, 74, 89, 3, 2);
  std::vector<Note> answer = Compose(202, 12, progression, scale, 72, 88, 1, 0);
  static const int kArpeggio[16] = {0, 2, 3, 1, 2, 3, 4, 2, 0, 2, 3, 1, 4, 3, 2, 1};
  static const int kBassSteps[5][2] = {{0, 3}, {3, 3}, {6, 2}, {10, 2}, {12, 4}};
  for (int bar = 0; bar < song.bars; ++bar) {
    const Chord chord = progression[bar % progression.size()];
    const int base = bar * kStepsPerBar;
    const bool intro = bar < 4;
    for (int tone : chord.Tones()) {
      float pitch = static_cast<float>(tone + 24);
      Pad(dry, song, {base, kStepsPerBar, pitch, intro ? 1.1f : 0.8f}, 1100.0f);
    }
    std::vector<int> tones = chord.Tones();
    tones.push_back(chord.root + 12);
    tones.push_back(tones[1] + 12);
    for (int s = 0; s < kStepsPerBar; ++s) {
      float pitch = static_cast<float>(tones[kArpeggio[s]] + 36);
      Pluck(send, song, {base + s, 1, pitch, s % 4 == 0 ? 1.0f : 0.65f}, true,
            std::sin(s * 0.8f) * 0.6f);
      Hat(dry, song, base + s, (s % 4 == 2 ? 0.8f : 0.4f) * (intro ? 0.5f : 1.0f), false, ++hit);
    }
    if (intro && bar < 2) continue;
    Kick(dry, song, base, 1.0f);
    Kick(dry, song, base + 10, 0.85f);
    if (bar % 2 == 1) Kick(dry, song, base + 7, 0.6f);
    if (!intro) Snare(dry, song, base + 8, 1.0f, ++hit);
    if (bar % 4 == 3) Hat(dry, song, base + 14, 0.7f, true, ++hit);
    for (const auto& [step, length] : kBassSteps) {
      int pitch = chord.root + (step == 6 ? 7 : step == 10 ? 12 : 0);
      Bass(dry, song, {base + step, length, static_cast<float>(pitch), 1.0f}, true);
    }
  }
  for (const Note& note : theme) {
    Lead(send, song, note, true, -0.15f);
    Note reprise = note;
    reprise.step += 16 * kStepsPerBar;  // the theme returns at bar 20
    Lead(send, song, reprise, true, -0.15f);
    reprise.pitch -= 12;
    reprise.velocity *= 0.5f;
    Lead(send, song, reprise, false, 0.25f);
  }
  for (const Note& note : answer) Lead(send, song, note, false, 0.15f);
  return Finish(dry, send, song, 3, 0.4f);
}
