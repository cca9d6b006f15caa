#pragma once
// The game's sound effects, music and UFO hum, played through the audio layer.
// A missing or undecodable file leaves its sound none, and playing none does nothing.
// Game thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TSound;

// Starts decoding the eight effects and the file of music_track from data_folder on a
// background thread, so that load_sounds and the first start_music of that track find
// them decoded (or wait for them). What they load and play is unchanged.
void prefetch_sounds();
// Loads the eight effects from data_folder (the UFO hum loops).
void load_sounds();
// Plays one effect on a fresh channel at sfx_volume; the channel is not kept.
void play_sfx(const std::shared_ptr<TSound>& sound);
// Loads music track 1 ("t_track.ogg") or 2 ("p_track.ogg") and starts it looping on
// music_channel at music_volume, from its beginning.
void start_music(int32_t track);
// Starts the UFO hum on ufo_channel at music_volume, from its beginning, stopping the
// hum that channel held.
void start_ufo_loop();

// Called with the file name (e.g. "shoot.ogg") of every effect, track or hum started,
// even when the file could not be loaded. Empty by default; the simulator traces it.
extern std::function<void(const std::string& file_name)> sound_started_hook;

// The file of music track 1 or 2 in data_folder.
const char* music_file(int32_t track);
// Asked with a music track's file name before the track is read from data_folder: false
// while the track has not come yet (the browser build fetches the tracks after start-up).
// start_music then starts nothing, and whoever answered false starts the track once it has
// come. Empty by default: every track is there.
extern std::function<bool(const std::string& file_name)> music_ready_hook;
