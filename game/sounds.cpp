#include "game/sounds.h"

#include <cstdio>
#include <vector>

#include "audio/audio.h"
#include "game/globals.h"
#include "game/notice.h"
#include "game/sample_prefetch.h"
#include "game/system_message.h"

std::function<void(const std::string& file_name)> sound_started_hook;
std::function<bool(const std::string& file_name)> music_ready_hook;

namespace {

// Which file each loaded effect came from, for sound_started_hook.
struct effect_file {
  std::shared_ptr<TSound>* sound;
  const char* file_name;
  int32_t flags;
};

const effect_file kEffects[] = {
    {&snd_shoot, "shoot.ogg", 0},     {&snd_astrohit, "astrohit.ogg", 0},
    {&snd_stage, "stage.ogg", 0},     {&snd_bonus, "bonus.ogg", 0},
    {&snd_cloak, "cloak.ogg", 0},     {&snd_thrust, "thrust.ogg", 0},
    {&snd_explode, "explode.ogg", 0}, {&snd_ufoloop, "ufoloop.ogg", 1},
};

constexpr int32_t kSoundLoops = 1;

// The sound of a file in data_folder, from the prefetch when it was prefetched.
std::shared_ptr<TSound> load_data_sound(const char* file_name, int32_t flags) {
  return LoadSound(take_prefetched_sample(data_path(file_name)), flags);
}

// A sound that is missing or cannot be decoded stays none and is silently skipped when
// played; the player hears of it once, in one line.
void report_unloadable(const std::string& names) {
  post_notice("audio", "cannot load " + names + " from " + shown_path(data_folder) +
                           "; those sounds stay silent");
}

void report_started(const char* file_name) {
  if (sound_started_hook) sound_started_hook(file_name);
}

// Callers pass the globals themselves, so a sound that failed to load is still known by
// the variable it was passed in.
const char* effect_name(const std::shared_ptr<TSound>& sound) {
  for (const auto& effect : kEffects)
    if (effect.sound == &sound || (sound && *effect.sound == sound)) return effect.file_name;
  return nullptr;
}

}  // namespace

const char* music_file(int32_t track) {
  return track == 1 ? "t_track.ogg" : "p_track.ogg";
}

void prefetch_sounds() {
  // The long track first: the game thread decodes any effect the worker has not reached
  // by the time load_sounds asks for it, so the two share the work.
  std::vector<std::string> paths = {data_path(music_file(music_track))};
  for (const auto& effect : kEffects) paths.push_back(data_path(effect.file_name));
  prefetch_samples(paths);
}

void load_sounds() {
  std::string missing;
  for (const auto& effect : kEffects) {
    *effect.sound = load_data_sound(effect.file_name, effect.flags);
    if (*effect.sound) continue;
    if (!missing.empty()) missing += ", ";
    missing += effect.file_name;
  }
  if (!missing.empty()) report_unloadable(missing);
}

void play_sfx(const std::shared_ptr<TSound>& sound) {
  if (const char* name = effect_name(sound)) report_started(name);
  if (!sound) return;
  auto channel = PrepareSound(sound, nullptr);
  SetChannelVolume(channel, sfx_volume);
  ResumeChannel(channel);
}

void start_music(int32_t track) {
  const char* file_name = music_file(track);
  report_started(file_name);
  if (music_ready_hook && !music_ready_hook(file_name)) return;
  auto sound = load_data_sound(file_name, kSoundLoops);
  if (!sound) {
    // Said once per track, however often the menu switches to it.
    static bool reported[2] = {false, false};
    bool& said = reported[track == 1 ? 0 : 1];
    if (!said) report_unloadable(file_name);
    said = true;
    return;
  }
  music_channel = PrepareSound(sound, nullptr);
  SetChannelVolume(music_channel, music_volume);
  ResumeChannel(music_channel);
}

void start_ufo_loop() {
  report_started("ufoloop.ogg");
  // One hum at a time: a restart replaces the one playing.
  StopChannel(ufo_channel);
  if (!snd_ufoloop) return;
  ufo_channel = PrepareSound(snd_ufoloop, nullptr);
  SetChannelVolume(ufo_channel, music_volume);
  ResumeChannel(ufo_channel);
}
