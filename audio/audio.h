#pragma once
// Sounds, channels and the audio drivers behind them. A TSound is a loaded sound
// ready for one driver; a TChannel is one playing (or paused) instance. Drivers
// register by name; one is current, chosen explicitly or, on first use, "Velmix" and
// then "Null". The base classes are complete silent stand-ins, so every call is safe
// without an output. Game thread only.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TAudioSample;
class TStream;

// Load flag: the sound repeats from its start until stopped.
constexpr int32_t kSoundLoop = 1;

// One playing or paused instance of a sound. The base forms do nothing.
class TChannel {
 public:
  virtual ~TChannel() = default;
  // Stops the sound; the channel does nothing afterwards.
  virtual void Stop() {}
  // 1 pauses, 0 resumes.
  virtual void SetPaused(int32_t paused) { (void)paused; }
  // 0 silent, 1 the sample's own level, above 1 amplifies.
  virtual void SetVolume(float volume) { (void)volume; }
  // -1 left only, 0 centre (both sides full), +1 right only.
  virtual void SetPan(float pan) { (void)pan; }
  // Only the sign matters to the software mixer: negative inverts the right side.
  virtual void SetDepth(float depth) { (void)depth; }
  // A multiplier of the sample's own rate: 2 is an octave up and twice as fast.
  virtual void SetRate(float rate) { (void)rate; }
  // 1 while the sound plays (not finished, not paused); 0 otherwise.
  virtual int32_t Playing() { return 0; }
};

// A sound made by a driver from a sample. The base form plays nothing.
class TSound {
 public:
  virtual ~TSound() = default;
  // Starts the sound on channel (nullptr: a fresh one). Returns the channel that plays
  // it, or nullptr when the driver could give none.
  virtual std::shared_ptr<TChannel> Play(const std::shared_ptr<TChannel>& channel);
  // As Play, but the sound starts paused so that settings can be made first.
  virtual std::shared_ptr<TChannel> Cue(const std::shared_ptr<TChannel>& channel);

  // Loads a sample through the loader chain (a file path or "protocol::path" url, or
  // an open stream) and makes a sound of it on the current driver. nullptr when no
  // sample results. flags: kSoundLoop or 0.
  static std::shared_ptr<TSound> Load(const std::string& url, int32_t flags);
  static std::shared_ptr<TSound> Load(const std::shared_ptr<TStream>& stream, int32_t flags);
  static std::shared_ptr<TSound> Load(const std::shared_ptr<TAudioSample>& sample, int32_t flags);
};

// An audio output. The base class is the complete silent "Null" driver. Constructing
// a driver links it in at the front of the registry; destroying it takes it out.
class TAudioDriver {
 public:
  TAudioDriver();
  virtual ~TAudioDriver();
  TAudioDriver(const TAudioDriver&) = delete;
  TAudioDriver& operator=(const TAudioDriver&) = delete;

  // The registry key. "Null" for the base.
  virtual std::string Name();
  // Opens the output; 1 on success, 0 when it cannot be opened.
  virtual int32_t Startup();
  // Closes the output.
  virtual void Shutdown();
  // A sound of this driver made from PCM; nullptr when the sample cannot be used.
  virtual std::shared_ptr<TSound> CreateSound(const std::shared_ptr<TAudioSample>& sample,
                                              int32_t flags);
  // A channel reserved for explicit reuse; nullptr when none is free.
  virtual std::shared_ptr<TChannel> AllocChannel();

  TAudioDriver* _succ = nullptr;  // the next (older) driver in the registry
};

// ---------------------------------------------------------------------------
// Global functions: they act on the current driver or forward to the object given.
// A null sound or channel is ignored (nullptr or 0 results).

std::shared_ptr<TSound> LoadSound(const std::string& url, int32_t flags);
std::shared_ptr<TSound> LoadSound(const std::shared_ptr<TStream>& stream, int32_t flags);
std::shared_ptr<TSound> LoadSound(const std::shared_ptr<TAudioSample>& sample, int32_t flags);
// Play / Cue on the sound; channel may be nullptr.
std::shared_ptr<TChannel> PlaySound(const std::shared_ptr<TSound>& sound,
                                    const std::shared_ptr<TChannel>& channel = nullptr);
std::shared_ptr<TChannel> PrepareSound(const std::shared_ptr<TSound>& sound,
                                       const std::shared_ptr<TChannel>& channel = nullptr);
// Short name for PrepareSound.
inline std::shared_ptr<TChannel> CueSound(const std::shared_ptr<TSound>& sound,
                                          const std::shared_ptr<TChannel>& channel = nullptr) {
  return PrepareSound(sound, channel);
}
// AllocChannel on the current driver.
std::shared_ptr<TChannel> AllocChannel();
void StopChannel(const std::shared_ptr<TChannel>& channel);
int32_t IsChannelPlaying(const std::shared_ptr<TChannel>& channel);
inline int32_t ChannelPlaying(const std::shared_ptr<TChannel>& channel) {
  return IsChannelPlaying(channel);
}
void SetChannelVolume(const std::shared_ptr<TChannel>& channel, float volume);
void SetChannelPan(const std::shared_ptr<TChannel>& channel, float pan);
void SetChannelDepth(const std::shared_ptr<TChannel>& channel, float depth);
void SetChannelRate(const std::shared_ptr<TChannel>& channel, float rate);
void PauseChannel(const std::shared_ptr<TChannel>& channel);   // SetPaused(1)
void ResumeChannel(const std::shared_ptr<TChannel>& channel);  // SetPaused(0)

// The registered names, newest first, at most 100. Here: "Velmix", "Velmix Multimedia",
// "Null".
std::vector<std::string> AudioDriverNames();
// 1 if a registered driver has that name (ASCII letters compared without case).
int32_t AudioDriverExists(const std::string& name);
// Shuts the current driver down, makes "Null" current, then starts the named driver
// and makes it current. 1 on success; 0 (with "Null" current) for an unknown name or
// an output that cannot be opened.
int32_t SetAudioDriver(const std::string& name);
// The current driver; the first call selects "Velmix", or "Null" if that fails.
// Never nullptr.
TAudioDriver* CurrentAudioDriver();
// Shuts the current driver down and leaves none current (the next use selects the
// default again). Also runs by itself at exit.
void ShutdownAudio();
