#pragma once
// The simulator's audio driver: it plays nothing, but keeps the channels it hands out
// and runs them one game frame at a time, so the simulator can say what a player would
// hear at the end of each frame and tests can see what the game asked of each channel.
// Game thread only.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/audio.h"

class sim_audio_driver;

struct sim_channel : TChannel {
  const TSound* sound = nullptr;  // none for a kept channel nothing was started on
  std::string file_name;          // the file of the sound started on it
  int64_t frames_left = 0;        // game frames still to play; -1 for a looping sound
  bool paused = false;
  bool stopped = false;
  int resumes = 0;             // times a pause was lifted
  std::vector<float> volumes;  // every volume set, oldest first

  void Stop() override { stopped = true; }
  void SetPaused(int32_t value) override;
  void SetVolume(float volume) override { volumes.push_back(volume); }
  int32_t Playing() override;
  // The last volume set, -1 when none was.
  float volume() const { return volumes.empty() ? -1.0f : volumes.back(); }
};

struct sim_sound : TSound {
  sim_audio_driver* driver = nullptr;
  int32_t flags = 0;
  int64_t frames = 0;  // its length in game frames at 60 a second, rounded up
  std::shared_ptr<TChannel> Play(const std::shared_ptr<TChannel>& channel) override;
  std::shared_ptr<TChannel> Cue(const std::shared_ptr<TChannel>& channel) override;
};

class sim_audio_driver : public TAudioDriver {
 public:
  // The one instance, registered as "Simulated" on first use and never destroyed.
  static sim_audio_driver& instance();

  std::string Name() override { return "Simulated"; }
  std::shared_ptr<TSound> CreateSound(const std::shared_ptr<TAudioSample>& sample,
                                      int32_t flags) override;
  std::shared_ptr<TChannel> AllocChannel() override;

  // The file the next sound started belongs to (the game names each sound as it starts).
  void name_next_sound(const std::string& file_name) { next_name_ = file_name; }
  // One game frame passes: playing one-shots move on and end when their length is used up.
  void advance_frame();
  // The file of every channel playing and not paused, in the order they were started.
  std::vector<std::string> audible() const;
  // Channels that a sound was started on, oldest first.
  std::vector<std::shared_ptr<sim_channel>> channels_of(const TSound* sound) const;
  // Forgets every channel and sound (between tests).
  void clear();

  // Finished channels nobody else holds are dropped unless keep_history is set (tests
  // that count channels set it; long runs leave it off so memory stays flat).
  bool keep_history = false;
  std::vector<std::shared_ptr<sim_channel>> channels;
  std::vector<std::shared_ptr<sim_sound>> sounds_made;

 private:
  friend struct sim_sound;
  std::shared_ptr<sim_channel> start(sim_sound& sound, const std::shared_ptr<TChannel>& channel);
  std::string next_name_;
};

// The channel as the simulated driver made it (none for a channel of another driver).
inline std::shared_ptr<sim_channel> simulated(const std::shared_ptr<TChannel>& channel) {
  return std::dynamic_pointer_cast<sim_channel>(channel);
}
