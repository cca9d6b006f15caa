#pragma once
// "Velmix": the software mixer driver. Every playing voice is summed into one 44100 Hz
// 16-bit stereo stream fed to a single output device. Channels are handles into the
// open mixer's table; a stale handle does nothing. The Mix* operations and the driver
// classes run on the game thread; mixing runs on the device's own thread.

#include <cstdint>
#include <memory>
#include <string>

#include "audio/audio.h"

class audiodevice;
struct mixsample;

// Which output a Velmix driver opens.
constexpr int32_t kVelmixDefault = -1;    // the SDL output (no second output on this platform)
constexpr int32_t kVelmixMultimedia = 0;  // the SDL output only

class TVelmixAudioDriver : public TAudioDriver {
 public:
  TVelmixAudioDriver(std::string name, int32_t mode);
  std::string Name() override;
  // Opens the mixer on the SDL output; 0 when no output can be opened.
  int32_t Startup() override;
  void Shutdown() override;
  // Big-endian samples are converted first; nullptr for a sample with no channels.
  std::shared_ptr<TSound> CreateSound(const std::shared_ptr<TAudioSample>& sample,
                                      int32_t flags) override;
  // nullptr when all 4095 channels are in use.
  std::shared_ptr<TChannel> AllocChannel() override;

  std::string _name;
  int32_t _mode;
};

class TVelmixSound : public TSound {
 public:
  explicit TVelmixSound(mixsample* sample) : _sample(sample) {}
  ~TVelmixSound() override;  // drops its reference to the mixer sample
  // nullptr when channel is not a Velmix channel or no channel could be given.
  std::shared_ptr<TChannel> Play(const std::shared_ptr<TChannel>& channel) override;
  std::shared_ptr<TChannel> Cue(const std::shared_ptr<TChannel>& channel) override;

  mixsample* _sample;
};

class TVelmixChannel : public TChannel {
 public:
  explicit TVelmixChannel(int32_t handle) : _handle(handle) {}
  // Releases the slot; a sound still playing on it plays to its end.
  ~TVelmixChannel() override;
  // Stops the sound and forgets the handle: the object is inert afterwards.
  void Stop() override;
  void SetPaused(int32_t paused) override;
  void SetVolume(float volume) override;
  void SetPan(float pan) override;
  void SetDepth(float depth) override;
  void SetRate(float rate) override;
  // 1 exactly when the status is 2 or 4.
  int32_t Playing() override;
  // Frames played so far, loops included.
  virtual int32_t Position();

  int32_t _handle;
};

// ---------------------------------------------------------------------------
// The handle-based mixer interface (game thread). Handles are slot + sequence; 0 is
// "none". Every operation on an invalid handle does nothing (and reports 0).

// Voice status values.
constexpr int32_t kVoiceIdle = 0;
constexpr int32_t kVoiceFinished = 1;
constexpr int32_t kVoicePlaying = 2;
constexpr int32_t kVoiceLooping = 4;
constexpr int32_t kVoicePaused = 16;  // added to the status while paused

// Opens device (taking ownership) and the channel table. 0 on success; -1 when the
// device cannot be opened (it is closed and deleted again).
int32_t MixInit(audiodevice* device);
// Closes the device and drops the channel table. Nothing when no mixer is open.
void MixClose();
// True while a mixer is open.
bool MixIsOpen();
// A mixer sample with one reference, copying length frames of data (bits 8 or 16,
// channels 1 or 2) plus a guard frame. nullptr for unusable arguments.
mixsample* MixCreateSound(int32_t length, int32_t bits, int32_t channels, int32_t hertz,
                          const void* data, int32_t loop);
// Drops one reference; the sample is freed once no sound and no voice holds it.
void MixFreeSound(mixsample* sample);
// A free slot's handle, or 0 when all 4095 are in use.
int32_t MixAllocChannel();
// Returns the slot to the free list and detaches its voice (which plays to its end).
void MixFreeChannel(int32_t handle);
// Starts sample on handle (0: a fresh implicit channel, freed when the sound ends).
// Returns the handle used: 0 when no slot was free; handle unchanged when no mixer is
// open or sample is nullptr. Output begins 20 ms after the call.
int32_t MixPlaySound(mixsample* sample, int32_t paused, int32_t handle);
void MixStopChannel(int32_t handle);
void MixPauseChannel(int32_t handle, int32_t paused);
// value x 4096 as 4.12 fixed point, clamped to the 16-bit range (so volumes stop just
// under 8). Volume and pan also apply at once while the voice is paused.
void MixSetVolume(int32_t handle, float volume);
void MixSetPan(int32_t handle, float pan);
void MixSetDepth(int32_t handle, float depth);
// value x 65536 (16.16); negative rates count as 0. Applies at once while paused.
void MixSetRate(int32_t handle, float rate);
// The voice status (kVoice*), 0 for an invalid handle.
int32_t MixChannelStatus(int32_t handle);
// Frames played so far, loops included.
int32_t MixChannelPosition(int32_t handle);
