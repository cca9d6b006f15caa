#pragma once
// Runs the game's own code on the headless 2D driver (or another one given) with the silent audio
// driver and scripted or random input, as fast as the CPU allows. One simulator at a time per
// process (the game's state is global); game thread only.
//
//   simulator sim(config);
//   sim.start();            // game start-up, splash included (skipped by an Escape event)
//   sim.step(100);          // 100 main-loop frames
//
// or, as the vextral-sim tool does, sim.run(frames) for the whole game from start-up.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "game/replay/format.h"
#include "tools/sim/sim_script.h"

class TGraphicsDriver;
class replay_player;
class replay_recorder;

// The state the trace reports after a frame.
struct sim_frame_state {
  int64_t frame = 0;
  int32_t game_state = 0;
  int32_t score = 0, best = 0, lives = 0, level = 0, astro_ctr = 0;
  size_t flames = 0, shots = 0, asteroids = 0, explosions = 0, particles = 0;
  int32_t ufo_on = 0, ufo_tmr = 0;
  float x = 0, y = 0, rotation = 0, speed = 0, direction = 0;
  int32_t cloak_ctr = 0;
  std::vector<std::string> sounds;   // started during the frame
  std::vector<std::string> playing;  // audible at its end: one per channel playing, unpaused
};

struct sim_config {
  int32_t seed = 1;
  // Folder holding the sounds and the two settings files. Empty: a fresh temporary copy of
  // default_data_dir (removed again by the destructor).
  std::string data_dir;
  // Where the sounds come from when data_dir is empty ("data" beside the executable when
  // empty too). A missing folder gives an empty temporary one: every sound is silent.
  std::string default_data_dir;
  std::vector<sim_event> events;
  bool random_input = false;
  // A recorded game to play (not owned, must outlive the simulator): the splash is
  // skipped, the game started and played from the recording, and the run stops after its
  // last frame. The script and the random player are not used then.
  const replay* replay_to_play = nullptr;
  // Records every game played, as the game does, and hands each finished one here.
  std::function<void(const replay_header&, std::vector<uint8_t>)> on_game_recorded;
  // One JSON object a frame is appended here when not empty.
  std::string trace_file;
  int64_t screenshot_every = 0;
  std::string screenshot_dir;
  // Keep the headless driver's record of draw calls (off for speed).
  bool record_draw_calls = false;
  // Called with the state after every frame, idle frames of a lost focus included.
  std::function<void(const sim_frame_state&)> frame_observer;
  // Rasterise every frame into the back buffer (always on with screenshots). Off, the
  // drawing is clipped away after start-up, which makes a frame several times cheaper.
  bool draw_pixels = false;
  // The 2D driver the game draws with; none: the headless one. An OpenGL driver needs a
  // display, and paces its flips unless a simulated display is installed (render/display.h).
  std::shared_ptr<TGraphicsDriver> graphics_driver;
};

class simulator {
 public:
  explicit simulator(sim_config config);
  ~simulator();
  simulator(const simulator&) = delete;
  simulator& operator=(const simulator&) = delete;

  // Installs the drivers and runs the game's start-up (its splash runs until the input
  // skips it or it fades). False if the display could not be opened.
  bool start();
  // Runs up to count main-loop frames; stops early when the game quits.
  void step(int64_t count = 1);
  // start() then frames in all (splash frames included), then the exit path. The frames
  // actually run are frames_run().
  bool run(int64_t frames);
  // The game's exit path (saves the two settings, except after a replay); run() calls it.
  void finish();

  // Schedules one more event (its frame counted from the first splash frame).
  void add_event(const sim_event& event);
  // Frames started so far (splash frames included).
  int64_t frames_run() const { return frames_started_; }
  bool quit() const;
  // The state after the last complete frame, with the sounds started in it.
  const sim_frame_state& last_frame() const { return last_; }
  // A JSON line for a state.
  static std::string trace_line(const sim_frame_state& state);
  // The replay being played (null without one): frames played, how it ended.
  const replay_player* playback() const { return playback_.get(); }
  // The folder the game reads and writes its files in.
  const std::string& data_dir() const { return data_dir_; }
  // A hash of the game's state (globals and every entity) for determinism checks.
  static uint64_t state_hash();

  // Called from the game's frame hook.
  void on_frame_start();
  // Delivers what is due (called by the simulator's system driver on every pump).
  void deliver_events();
  // The game blocks for input (only while it has lost the focus): a frame of script time
  // passes with the game frozen, and that frame's events are delivered.
  void wait_for_events();
  // The pointer moved by the game (MoveMouse).
  void move_pointer(int32_t x, int32_t y);

 private:
  void finish_frame();
  // Ends the frame in progress (traced, its sounds one frame on) and counts the next frame
  // of script time; throws to stop the game once the frames asked for have run.
  void begin_frame();
  void emit(const sim_event& event);
  void random_player();
  void set_joystick(const sim_event& event);

  sim_config config_;
  std::string data_dir_;
  std::string temporary_root_;
  std::vector<sim_event> pending_;  // sorted by frame
  size_t next_event_ = 0;
  int64_t frames_started_ = 0;
  int64_t stop_after_ = -1;
  bool started_ = false;
  bool finished_ = false;
  bool suspended_ = false;
  bool traced_any_ = false;
  int32_t mouse_x_ = 0, mouse_y_ = 0;
  std::vector<std::string> sounds_;
  sim_frame_state last_;
  std::FILE* trace_ = nullptr;
  struct drivers;
  std::unique_ptr<drivers> drivers_;
  struct random_state;
  std::unique_ptr<random_state> random_;
  std::unique_ptr<replay_player> playback_;
  std::unique_ptr<replay_recorder> recorder_;
};
