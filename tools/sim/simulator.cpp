#include "tools/sim/simulator.h"

#include <SDL.h>

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "audio/audio.h"
#include "game/asteroids.h"
#include "game/effects.h"
#include "game/globals.h"
#include "game/keys.h"
#include "game/main_loop.h"
#include "game/player.h"
#include "game/replay/player.h"
#include "game/replay/recorder.h"
#include "game/shots.h"
#include "game/sounds.h"
#include "game/ufo.h"
#include "input/event.h"
#include "input/system.h"
#include "render/graphics.h"
#include "render/headless/headless_driver.h"
#include "render/pixmap.h"
#include "render/render2d.h"
#include "stream/native_files.h"
#include "stream/native_path.h"
#include "stream/program_folder.h"
#include "support/random.h"
#include "tools/sim/sim_audio.h"

namespace {

// Thrown from the frame hook to leave the game between two frames.
struct sim_stop {};

simulator* current_simulator = nullptr;

// Delivers the script instead of system messages; MoveMouse moves the simulated pointer.
class sim_system_driver : public TNullSystemDriver {
 public:
  void Poll() override {
    if (current_simulator) current_simulator->deliver_events();
  }
  void Wait() override {
    if (current_simulator) current_simulator->wait_for_events();
  }
  void MoveMouse(int32_t x, int32_t y) override {
    if (current_simulator) current_simulator->move_pointer(x, y);
  }
};

std::string executable_folder() {
  const std::string folder = ProgramFolder();
  return folder.empty() ? "." : folder;
}

// FNV-1a over raw bytes.
struct state_hasher {
  uint64_t value = 1469598103934665603ull;
  template <typename T>
  void add(const T& field) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&field);
    for (size_t index = 0; index < sizeof(T); ++index) {
      value ^= bytes[index];
      value *= 1099511628211ull;
    }
  }
};

}  // namespace

struct simulator::drivers {
  sim_system_driver system;
  SDL_Joystick* joystick = nullptr;
  int virtual_index = -1;
};

struct simulator::random_state {
  explicit random_state(uint32_t seed) : engine(seed) {}
  std::mt19937 engine;
  bool left = false, right = false, thrust = false;
  int32_t steer_frames = 0;
  int32_t fire_key_up_in = 0;
  int32_t cloak_key_up_in = 0;
  int32_t menu_wait = 0;
  int32_t chance(int32_t percent_times_ten) {
    return std::uniform_int_distribution<int32_t>(0, 999)(engine) < percent_times_ten;
  }
  int32_t between(int32_t low, int32_t high) {
    return std::uniform_int_distribution<int32_t>(low, high)(engine);
  }
};

simulator::simulator(sim_config config)
    : config_(std::move(config)), drivers_(std::make_unique<drivers>()) {
  pending_ = config_.events;
  std::stable_sort(pending_.begin(), pending_.end(),
                   [](const sim_event& a, const sim_event& b) { return a.frame < b.frame; });
  if (config_.replay_to_play) {
    // Escape skips the splash; the recording itself begins on the title menu.
    pending_.clear();
    sim_event skip;
    skip.kind = sim_event_kind::key_down;
    skip.code = kKeyEscape;
    skip.frame = 1;
    pending_.push_back(skip);
    skip.kind = sim_event_kind::key_up;
    skip.frame = 2;
    pending_.push_back(skip);
    config_.random_input = false;
    playback_ = std::make_unique<replay_player>(*config_.replay_to_play);
  } else if (config_.on_game_recorded) {
    recorder_ = std::make_unique<replay_recorder>(config_.on_game_recorded);
  }
  if (config_.random_input)
    random_ =
        std::make_unique<random_state>(static_cast<uint32_t>(config_.seed) * 2654435761u + 17u);
}

simulator::~simulator() {
  if (started_ && !finished_) finish_frame();
  if (playback_) playback_->detach();
  recorder_.reset();
  if (trace_) std::fclose(trace_);
  frame_hook = nullptr;
  sound_started_hook = nullptr;
  if (started_) {
    // The input state outlives this simulator: a focus still away would freeze the next.
    if (suspended_) EmitEvent(CreateEvent(EVENT_APPRESUME));
    EndGraphics();
    reset_game_globals();
    SetAudioDriver("Null");
    sim_audio_driver::instance().clear();
  }
  if (current_simulator == this) {
    SetSystemDriver(nullptr);
    current_simulator = nullptr;
  }
  // The input layer may still hold the device open: detach it (it then reads as unplugged)
  // but keep the joystick subsystem, so no handle it holds is freed under it.
  if (drivers_->joystick) SDL_JoystickClose(drivers_->joystick);
  if (drivers_->virtual_index >= 0) SDL_JoystickDetachVirtual(drivers_->virtual_index);
  if (!temporary_root_.empty()) {
    std::error_code error;
    std::filesystem::remove_all(NativePath(temporary_root_), error);
  }
}

bool simulator::start() {
  if (started_) return true;
  current_simulator = this;

  data_dir_ = config_.data_dir;
  if (data_dir_.empty()) {
    std::string source = config_.default_data_dir;
    if (source.empty()) source = executable_folder() + "/data";
    const std::string root = NativeMakeTemporaryFolder("vextral-sim-");
    if (!root.empty()) {
      temporary_root_ = root;
      data_dir_ = temporary_root_ + "/data";
      std::error_code error;
      if (std::filesystem::is_directory(NativePath(source), error)) {
        std::filesystem::copy(NativePath(source), NativePath(data_dir_),
                              std::filesystem::copy_options::recursive, error);
      }
      if (error || !std::filesystem::is_directory(NativePath(data_dir_))) {
        std::fprintf(stderr, "sim: no data folder at %s; playing without sounds\n", source.c_str());
        std::filesystem::create_directories(NativePath(data_dir_), error);
      }
    } else {
      std::fprintf(stderr, "sim: could not make a temporary folder; using ./data\n");
      data_dir_ = "data";
    }
  }
  data_folder = data_dir_;

  if (!config_.trace_file.empty()) {
    trace_ = NativeOpenFile(config_.trace_file, "w");
    if (!trace_) std::fprintf(stderr, "sim: could not write %s\n", config_.trace_file.c_str());
  }
  if (config_.screenshot_every > 0) {
    std::error_code error;
    std::filesystem::create_directories(NativePath(config_.screenshot_dir), error);
  }

  const bool wants_joystick =
      std::any_of(pending_.begin(), pending_.end(), [](const sim_event& event) {
        return event.kind == sim_event_kind::joy_axis || event.kind == sim_event_kind::joy_button;
      });
  if (wants_joystick && SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0) {
    drivers_->virtual_index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 16, 0);
    if (drivers_->virtual_index >= 0)
      drivers_->joystick = SDL_JoystickOpen(drivers_->virtual_index);
    if (!drivers_->joystick) std::fprintf(stderr, "sim: no virtual joystick: %s\n", SDL_GetError());
  }

  SetSystemDriver(&drivers_->system);
  sim_audio_driver& audio = sim_audio_driver::instance();
  audio.clear();
  SetAudioDriver(audio.Name());
  if (config_.graphics_driver) {
    SetGraphicsDriver(config_.graphics_driver);
  } else {
    SetGraphicsDriver(HeadlessGraphicsDriver());
    HeadlessGraphicsDriver()->SetRecording(config_.record_draw_calls);
  }

  sound_started_hook = [this, &audio](const std::string& file_name) {
    sounds_.push_back(file_name);
    audio.name_next_sound(file_name);
  };
  frame_hook = [this] { on_frame_start(); };
  if (playback_) playback_->attach();
  if (recorder_) recorder_->attach();

  startup_options options;
  options.fixed_seed = true;
  options.seed = config_.seed;
  started_ = true;
  return game_startup(options);
}

void simulator::step(int64_t count) {
  try {
    for (int64_t index = 0; index < count && quit_requested == 0; ++index) main_loop_frame();
  } catch (const sim_stop&) {
    // A replay has played its last frame.
  }
  finish_frame();
}

bool simulator::run(int64_t frames) {
  stop_after_ = frames;
  bool opened = true;
  try {
    opened = start();
    if (opened && frames_started_ < frames) run_main_loop();
  } catch (const sim_stop&) {
  }
  if (!opened) return false;
  finish_frame();
  finish();
  return true;
}

void simulator::finish() {
  if (finished_ || !started_) return;
  finished_ = true;
  stop_after_ = -1;
  if (recorder_) recorder_->on_exit();
  // The exit's pause lets a real output play the music's last block; here nothing plays.
  // Watching a replay keeps nothing.
  if (playback_) {
    stop_music_for_exit(0);
  } else {
    game_exit(0);
  }
}

void simulator::add_event(const sim_event& event) {
  auto position = std::upper_bound(
      pending_.begin() + static_cast<std::ptrdiff_t>(next_event_), pending_.end(), event,
      [](const sim_event& a, const sim_event& b) { return a.frame < b.frame; });
  pending_.insert(position, event);
}

bool simulator::quit() const {
  return quit_requested != 0;
}

void simulator::begin_frame() {
  if (frames_started_ > 0) finish_frame();
  if (stop_after_ >= 0 && frames_started_ >= stop_after_) throw sim_stop{};
  if (frames_started_ > 0) sim_audio_driver::instance().advance_frame();
  ++frames_started_;
}

void simulator::on_frame_start() {
  // A replay stops once its last frame has run, or once the game stops following it.
  if (playback_ && (playback_->last_frame_begun() || playback_->finished())) throw sim_stop{};
  begin_frame();
  if (playback_) playback_->on_frame_start();
  if (recorder_) recorder_->on_frame_start();
  const int64_t completed = frames_started_ - 1;
  if (config_.screenshot_every > 0 && completed > 0 && completed % config_.screenshot_every == 0) {
    char name[64];
    std::snprintf(name, sizeof name, "/frame_%06" PRId64 ".png", completed - 1);
    if (config_.graphics_driver) {
      SavePixmapPNG(GrabPixmap(0, 0, GraphicsWidth(), GraphicsHeight()),
                    config_.screenshot_dir + name);
    } else {
      HeadlessGraphicsDriver()->SaveBufferPNG(config_.screenshot_dir + name);
    }
  }
  if (completed == 0 && !config_.draw_pixels && config_.screenshot_every <= 0) {
    // The sprite sheet has been grabbed by now; nothing later needs real pixels, so an
    // empty clip rectangle spares the software rasteriser (draw calls still happen).
    SetViewport(0, 0, 0, 0);
  }
  if (random_) random_player();
  deliver_events();
}

void simulator::finish_frame() {
  const int64_t frame = frames_started_ - 1;
  if (frame < 0) return;
  if (traced_any_ && last_.frame == frame) {
    // Already recorded; sounds started since then belong to it.
    last_.sounds.insert(last_.sounds.end(), sounds_.begin(), sounds_.end());
    sounds_.clear();
    return;
  }
  sim_frame_state state;
  state.frame = frame;
  state.game_state = game_state;
  state.score = player->score;
  state.best = player->best_sc;
  state.lives = player->lives;
  state.level = player->level;
  state.astro_ctr = astro_ctr;
  state.flames = flame_list.size();
  state.shots = shot_list.size();
  state.asteroids = astro_list.size();
  state.explosions = explo_list.size();
  state.particles = parti_list.size();
  state.ufo_on = ufo_on;
  state.ufo_tmr = ufo_tmr;
  state.x = player->x;
  state.y = player->y;
  state.rotation = player->rotation;
  state.speed = player->speed;
  state.direction = player->direction;
  state.cloak_ctr = player->cloak_ctr;
  state.playing = sim_audio_driver::instance().audible();
  state.sounds = std::move(sounds_);
  sounds_.clear();
  last_ = std::move(state);
  traced_any_ = true;
  if (config_.frame_observer) config_.frame_observer(last_);
  if (trace_) {
    const std::string line = trace_line(last_);
    std::fwrite(line.data(), 1, line.size(), trace_);
    std::fputc('\n', trace_);
  }
}

std::string simulator::trace_line(const sim_frame_state& state) {
  char buffer[768];
  std::snprintf(buffer, sizeof buffer,
                "{\"frame\":%" PRId64
                ",\"game_state\":%d,\"score\":%d,\"best\":%d,\"lives\":%d,\"level\":%d,"
                "\"astro_ctr\":%d,\"flame_list\":%zu,\"shot_list\":%zu,\"astro_list\":%zu,"
                "\"explo_list\":%zu,\"parti_list\":%zu,\"ufo_on\":%d,\"ufo_tmr\":%d,"
                "\"ship\":{\"x\":%.9g,\"y\":%.9g,\"rotation\":%.9g,\"speed\":%.9g,"
                "\"direction\":%.9g,\"cloak_ctr\":%d},\"sounds\":[",
                state.frame, state.game_state, state.score, state.best, state.lives, state.level,
                state.astro_ctr, state.flames, state.shots, state.asteroids, state.explosions,
                state.particles, state.ufo_on, state.ufo_tmr, static_cast<double>(state.x),
                static_cast<double>(state.y), static_cast<double>(state.rotation),
                static_cast<double>(state.speed), static_cast<double>(state.direction),
                state.cloak_ctr);
  std::string line = buffer;
  auto append_names = [&line](const std::vector<std::string>& names) {
    for (size_t index = 0; index < names.size(); ++index) {
      if (index > 0) line += ",";
      line += "\"" + names[index] + "\"";
    }
  };
  append_names(state.sounds);
  line += "],\"playing\":[";
  append_names(state.playing);
  line += "]}";
  return line;
}

void simulator::deliver_events() {
  const int64_t current = frames_started_ - 1;
  while (next_event_ < pending_.size() && pending_[next_event_].frame <= current) {
    const sim_event event = pending_[next_event_++];
    emit(event);
  }
}

void simulator::wait_for_events() {
  if (!suspended_) {
    deliver_events();
    return;
  }
  // The game waits for the focus: time goes on a frame per wait, with the game's state
  // frozen, until the script gives the focus back (or closes the window).
  begin_frame();
  deliver_events();
  if (suspended_ && next_event_ >= pending_.size()) {
    // A script that ends with the focus away would wait for ever: the player comes back.
    sim_event focus;
    focus.kind = sim_event_kind::focus;
    focus.code = 1;
    emit(focus);
  }
}

void simulator::move_pointer(int32_t x, int32_t y) {
  mouse_x_ = x;
  mouse_y_ = y;
  EmitEvent(CreateEvent(EVENT_MOUSEMOVE, nullptr, 0, 0, x, y));
}

void simulator::emit(const sim_event& event) {
  switch (event.kind) {
    case sim_event_kind::key_down:
      EmitEvent(CreateEvent(EVENT_KEYDOWN, nullptr, event.code));
      break;
    case sim_event_kind::key_up:
      EmitEvent(CreateEvent(EVENT_KEYUP, nullptr, event.code));
      break;
    case sim_event_kind::mouse_move:
      move_pointer(event.x, event.y);
      break;
    case sim_event_kind::mouse_down:
      EmitEvent(CreateEvent(EVENT_MOUSEDOWN, nullptr, event.code, 0, mouse_x_, mouse_y_));
      break;
    case sim_event_kind::mouse_up:
      EmitEvent(CreateEvent(EVENT_MOUSEUP, nullptr, event.code, 0, mouse_x_, mouse_y_));
      break;
    case sim_event_kind::joy_axis:
    case sim_event_kind::joy_button:
      set_joystick(event);
      break;
    case sim_event_kind::focus:
      suspended_ = event.code == 0;
      EmitEvent(CreateEvent(suspended_ ? EVENT_APPSUSPEND : EVENT_APPRESUME));
      break;
    case sim_event_kind::close:
      EmitEvent(CreateEvent(EVENT_APPTERMINATE));
      break;
  }
}

void simulator::set_joystick(const sim_event& event) {
  if (!drivers_->joystick) return;
  if (event.kind == sim_event_kind::joy_axis) {
    const float value = std::clamp(event.value, -1.0f, 1.0f);
    const auto raw = static_cast<Sint16>(value < 0 ? value * 32768.0f : value * 32767.0f);
    SDL_JoystickSetVirtualAxis(drivers_->joystick, event.code, raw);
  } else {
    SDL_JoystickSetVirtualButton(drivers_->joystick, event.code,
                                 event.x ? SDL_PRESSED : SDL_RELEASED);
  }
}

void simulator::random_player() {
  random_state& r = *random_;
  const int64_t now = frames_started_ - 1;
  auto key = [&](sim_event_kind kind, int32_t code) {
    sim_event event;
    event.frame = now;
    event.kind = kind;
    event.code = code;
    emit(event);
  };
  auto hold = [&](bool& held, bool want, int32_t code) {
    if (held == want) return;
    held = want;
    key(want ? sim_event_kind::key_down : sim_event_kind::key_up, code);
  };

  if (r.fire_key_up_in > 0 && --r.fire_key_up_in == 0) key(sim_event_kind::key_up, 162);
  if (r.cloak_key_up_in > 0 && --r.cloak_key_up_in == 0) key(sim_event_kind::key_up, 164);

  switch (game_state) {
    case STATE_STARTUP:
      if (now == 2) key(sim_event_kind::key_down, 27);
      if (now == 3) key(sim_event_kind::key_up, 27);
      break;
    case STATE_TITLE:
    case STATE_PAUSE:
      hold(r.left, false, 37);
      hold(r.right, false, 39);
      hold(r.thrust, false, 38);
      if (++r.menu_wait < 20) break;
      r.menu_wait = 0;
      if (game_state == STATE_PAUSE && r.chance(500)) {
        key(sim_event_kind::key_down, 32);
        key(sim_event_kind::key_up, 32);
      } else {
        move_pointer(320, 252);
        sim_event click;
        click.frame = now;
        click.kind = sim_event_kind::mouse_down;
        click.code = 1;
        emit(click);
        click.kind = sim_event_kind::mouse_up;
        emit(click);
      }
      break;
    case STATE_PLAY:
      if (--r.steer_frames <= 0) {
        r.steer_frames = r.between(5, 40);
        const int32_t pick = r.between(0, 3);
        hold(r.left, pick == 1, 37);
        hold(r.right, pick == 2, 39);
        hold(r.thrust, r.chance(350), 38);
      }
      if (r.fire_key_up_in == 0 && r.chance(150)) {
        key(sim_event_kind::key_down, 162);
        r.fire_key_up_in = 1;
      }
      if (r.cloak_key_up_in == 0 && r.chance(3)) {
        key(sim_event_kind::key_down, 164);
        r.cloak_key_up_in = 1;
      }
      if (r.chance(1)) {
        key(sim_event_kind::key_down, 27);
        key(sim_event_kind::key_up, 27);
      }
      break;
    default:
      hold(r.left, false, 37);
      hold(r.right, false, 39);
      hold(r.thrust, false, 38);
      break;
  }
}

uint64_t simulator::state_hash() {
  state_hasher hash;
  for (int32_t value : {game_state, quit_requested, state_ctr, stereo_mode, ufo_on, ufo_tmr,
                        astro_ctr, astro_num, RandomState()})
    hash.add(value);
  hash.add(gameover_alpha);
  hash.add(banner_alpha);
  const player_tag& ship = *player;
  for (int32_t value : {ship.score, ship.best_sc, ship.new_bs, ship.lives, ship.level,
                        ship.cloak_ctr, ship.shot_side, ship.thrust_on, ship.shot_tmr})
    hash.add(value);
  for (float value : {ship.x, ship.y, ship.rotation, ship.speed, ship.direction}) hash.add(value);
  const ufo_tag& saucer = *ufo;
  for (float value : {saucer.x, saucer.y, saucer.scale, saucer.angle, saucer.shot_x, saucer.shot_y})
    hash.add(value);
  for (int32_t value : {saucer.shot_on, saucer.shot_ang, saucer.t_rot, saucer.b_rot})
    hash.add(value);
  for (const auto& flame : flame_list.items())
    for (float value :
         {flame->x, flame->y, flame->rotation, flame->angle, flame->scale, flame->speed})
      hash.add(value);
  for (const auto& shot : shot_list.items())
    for (float value : {shot->x, shot->y, shot->rotation, shot->scale}) hash.add(value);
  for (const auto& rock : astro_list.items()) {
    for (float value : {rock->x, rock->y, rock->angle, rock->scale, rock->speed}) hash.add(value);
    hash.add(rock->rotation);
    hash.add(rock->frame);
  }
  for (const auto& explosion : explo_list.items()) {
    for (float value : {explosion->x, explosion->y, explosion->rotation, explosion->scale})
      hash.add(value);
    hash.add(explosion->fr_ctr);
    hash.add(explosion->fr_tmr);
  }
  for (const auto& particle : parti_list.items()) {
    for (float value : {particle->x, particle->y, particle->rotation, particle->angle,
                        particle->scale, particle->alpha, particle->roffs, particle->speed})
      hash.add(value);
    hash.add(particle->typ);
  }
  return hash.value;
}
