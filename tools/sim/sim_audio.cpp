#include "tools/sim/sim_audio.h"

#include <algorithm>

#include "audio/sample.h"

void sim_channel::SetPaused(int32_t value) {
  if (paused && value == 0) ++resumes;
  paused = value != 0;
}

int32_t sim_channel::Playing() {
  return sound != nullptr && !stopped && !paused && frames_left != 0 ? 1 : 0;
}

std::shared_ptr<TChannel> sim_sound::Cue(const std::shared_ptr<TChannel>& channel) {
  return driver->start(*this, channel);
}

std::shared_ptr<TChannel> sim_sound::Play(const std::shared_ptr<TChannel>& channel) {
  auto played = Cue(channel);
  played->SetPaused(0);
  return played;
}

sim_audio_driver& sim_audio_driver::instance() {
  // Never destroyed: the audio layer's exit handler may still call the current driver.
  static auto* driver = new sim_audio_driver;
  return *driver;
}

std::shared_ptr<TSound> sim_audio_driver::CreateSound(const std::shared_ptr<TAudioSample>& sample,
                                                      int32_t flags) {
  if (!sample || sample->hertz <= 0) return nullptr;
  auto sound = std::make_shared<sim_sound>();
  sound->driver = this;
  sound->flags = flags;
  sound->frames = (static_cast<int64_t>(sample->length) * 60 + sample->hertz - 1) / sample->hertz;
  if (keep_history) sounds_made.push_back(sound);
  return sound;
}

std::shared_ptr<TChannel> sim_audio_driver::AllocChannel() {
  auto channel = std::make_shared<sim_channel>();
  channels.push_back(channel);
  return channel;
}

std::shared_ptr<sim_channel> sim_audio_driver::start(sim_sound& sound,
                                                     const std::shared_ptr<TChannel>& channel) {
  // A kept channel is reused as the mixer reuses it; otherwise every start is a new voice.
  auto voice = simulated(channel);
  if (!voice || voice->stopped) {
    voice = std::make_shared<sim_channel>();
    channels.push_back(voice);
  }
  voice->sound = &sound;
  voice->file_name = next_name_;
  voice->frames_left = (sound.flags & kSoundLoop) != 0 ? -1 : sound.frames;
  voice->paused = true;
  voice->stopped = false;
  return voice;
}

void sim_audio_driver::advance_frame() {
  for (const auto& channel : channels)
    if (channel->Playing() && channel->frames_left > 0) --channel->frames_left;
  if (keep_history) return;
  std::erase_if(channels, [](const std::shared_ptr<sim_channel>& channel) {
    const bool silent = channel->stopped || (channel->sound && channel->frames_left == 0);
    return silent && channel.use_count() == 1;
  });
}

std::vector<std::string> sim_audio_driver::audible() const {
  std::vector<std::string> names;
  for (const auto& channel : channels)
    if (channel->Playing()) names.push_back(channel->file_name);
  return names;
}

std::vector<std::shared_ptr<sim_channel>> sim_audio_driver::channels_of(const TSound* sound) const {
  std::vector<std::shared_ptr<sim_channel>> found;
  for (const auto& channel : channels)
    if (channel->sound == sound) found.push_back(channel);
  return found;
}

void sim_audio_driver::clear() {
  channels.clear();
  sounds_made.clear();
  next_name_.clear();
}
