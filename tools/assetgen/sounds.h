#pragma once
// The generator's sounds: synthesis building blocks, the eight effects, the two
// music tracks and the Ogg Vorbis writer. All at 44100 Hz and deterministic.

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

inline constexpr int kSampleRate = 44100;
inline constexpr float kTwoPi = 6.28318530717959f;

// Interleaved float samples, nominally -1..1.
struct AudioClip {
  int channels = 1;
  std::vector<float> samples;
  size_t frames() const { return samples.size() / channels; }
};

struct SoundAsset {
  std::string file;  // name inside data/
  float quality;     // Vorbis VBR quality
  std::function<AudioClip()> make;
};

// The ten files in the order of resources/resources.h.
const std::vector<SoundAsset>& AllSounds();

// Encodes a clip as Ogg Vorbis with a fixed stream serial; the file decodes no louder
// than the clip's own peak. Returns false on failure.
bool WriteOggVorbis(const AudioClip& clip, const std::string& path, float quality);

// Levels in dBFS. The mixer sums every playing sound and clamps the sum: at full
// volume the music, the UFO hum and a few overlapping effects must still fit.
// The music sits at -20 dBFS RMS; effects peak 6 to 10 dB above that, so they
// stand out of it, and the hum sits a little under the music.
namespace level {
inline constexpr float kMusicRms = -19.5f, kMusicPeak = -11.5f;
inline constexpr float kHumRms = -24.0f, kHumPeak = -16.0f;
inline constexpr float kShootPeak = -14.0f;
inline constexpr float kAstroHitPeak = -16.0f;  // one shot can break several at once
inline constexpr float kStagePeak = -12.0f;
inline constexpr float kBonusPeak = -12.0f;
inline constexpr float kCloakPeak = -13.0f;
inline constexpr float kThrustPeak = -16.0f;
inline constexpr float kExplodePeak = -10.0f;
}  // namespace level

// Effects and music, each a finished clip.
AudioClip MakeShoot();
AudioClip MakeAstroHit();
AudioClip MakeStage();
AudioClip MakeBonus();
AudioClip MakeCloak();
AudioClip MakeThrust();
AudioClip MakeExplode();
AudioClip MakeUfoLoop();
AudioClip MakeTrackA();  // p_track.ogg, the default
AudioClip MakeTrackB();  // t_track.ogg

// Scales a clip so that its largest sample has the given magnitude.
void Normalize(AudioClip& clip, float peak);

// Mastering (levels in dB relative to full scale, 0 dBFS = 1.0).
float DbToGain(float db);
float PeakOf(const AudioClip& clip);
float RmsOf(const AudioClip& clip);
// Takes out any DC offset; a loop stays seamless.
void RemoveDc(AudioClip& clip, bool loop);
// Turns the clip down smoothly around every sample that would pass `ceiling`.
void LimitPeaks(AudioClip& clip, float ceiling, bool loop);
// An effect: peak `drive_db` above the ceiling, then limited to it.
void MasterEffect(AudioClip& clip, float ceiling_dbfs, float drive_db);
// A loop (music, hum): at the given RMS level, peaks limited to the ceiling.
void MasterLoop(AudioClip& clip, float rms_dbfs, float ceiling_dbfs);

inline float MidiToHz(float note) {
  return 440.0f * std::pow(2.0f, (note - 69.0f) / 12.0f);
}

// Deterministic white noise in -1..1.
class Noise {
 public:
  explicit Noise(uint32_t seed) : state_(seed * 2654435761u + 1u) {}
  float Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<float>(state_ & 0xFFFFFF) / 8388607.5f - 1.0f;
  }

 private:
  uint32_t state_;
};

// Zero-delay-feedback state-variable filter.
class Filter {
 public:
  // cutoff in Hz, resonance 0 (none) to about 0.95.
  void Set(float cutoff, float resonance) {
    cutoff = std::fmin(std::fmax(cutoff, 10.0f), kSampleRate * 0.45f);
    g_ = std::tan(3.14159265f * cutoff / kSampleRate);
    k_ = 2.0f - 2.0f * resonance;
    a1_ = 1.0f / (1.0f + g_ * (g_ + k_));
    a2_ = g_ * a1_;
    a3_ = g_ * a2_;
  }
  void Run(float in) {
    float v3 = in - ic2_;
    band_ = a1_ * ic1_ + a2_ * v3;
    low_ = ic2_ + a2_ * ic1_ + a3_ * v3;
    ic1_ = 2 * band_ - ic1_;
    ic2_ = 2 * low_ - ic2_;
    high_ = in - k_ * band_ - low_;
  }
  float Low(float in) { return Run(in), low_; }
  float Band(float in) { return Run(in), band_; }
  float High(float in) { return Run(in), high_; }

 private:
  float g_ = 0, k_ = 2, a1_ = 0, a2_ = 0, a3_ = 0;
  float ic1_ = 0, ic2_ = 0, low_ = 0, band_ = 0, high_ = 0;
};

// Band-limited sawtooth and pulse by polynomial step correction.
class Oscillator {
 public:
  explicit Oscillator(float phase = 0) : phase_(phase) {}
  // Advances by one sample at `hz` and returns the sawtooth, -1..1.
  float Saw(float hz) {
    float dt = hz / kSampleRate;
    float value = 2 * phase_ - 1 - Blep(phase_, dt);
    Advance(dt);
    return value;
  }
  // Pulse of the given duty cycle (0..1), -1..1.
  float Pulse(float hz, float duty) {
    float dt = hz / kSampleRate;
    float value = phase_ < duty ? 1.0f : -1.0f;
    value += Blep(phase_, dt);
    float shifted = phase_ - duty + (phase_ < duty ? 1.0f : 0.0f);
    value -= Blep(shifted, dt);
    Advance(dt);
    return value;
  }
  float Sine(float hz) {
    float value = std::sin(kTwoPi * phase_);
    Advance(hz / kSampleRate);
    return value;
  }
  float Triangle(float hz) {
    float value = 4.0f * std::fabs(phase_ - 0.5f) - 1.0f;
    Advance(hz / kSampleRate);
    return value;
  }

 private:
  static float Blep(float t, float dt) {
    if (t < dt) {
      t /= dt;
      return t + t - t * t - 1;
    }
    if (t > 1 - dt) {
      t = (t - 1) / dt;
      return t * t + t + t + 1;
    }
    return 0;
  }
  void Advance(float dt) {
    phase_ += dt;
    phase_ -= std::floor(phase_);
  }
  float phase_;
};
