// Which sound each event plays, at which volume, and what happens to the music and the
// UFO hum on pause, resume, loss of focus and exit.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "game/main_loop.h"
#include "screens_support.h"

namespace {

constexpr int32_t kEscape = 27, kSpace = 32, kUp = 38, kFire = 162;

class SoundTest : public ScreensTest {
 protected:
  // A new game with the UFO warped in (and its hum started) on the first frame.
  void new_game_with_ufo() {
    new_game();
    ufo_tmr = 1;
    step();
    ASSERT_EQ(ufo_on, 1);
  }
  // The same, paused.
  void paused_game_with_ufo() {
    ASSERT_NO_FATAL_FAILURE(new_game_with_ufo());
    tap(kEscape);
    step();
    ASSERT_EQ(game_state, STATE_PAUSE);
  }
};

TEST_F(SoundTest, FiringThrustingAndAHitInOneFramePlayThreeOverlappingEffects) {
  auto& audio = sim_audio();
  new_game();
  sfx_volume = 0.3f;
  auto rock = add_asteroid(200, 100, 1.0f);
  add_shot(200, 106);
  press(kUp);
  press(kFire);
  step();
  const auto& names = sounds();
  EXPECT_NE(std::find(names.begin(), names.end(), "shoot.ogg"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "thrust.ogg"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "astrohit.ogg"), names.end());
  for (const auto* sound : {snd_shoot.get(), snd_thrust.get(), snd_astrohit.get()}) {
    const auto channels = audio.channels_of(sound);
    ASSERT_EQ(channels.size(), 1u);
    EXPECT_FLOAT_EQ(channels[0]->volume(), 0.3f);
    EXPECT_TRUE(channels[0]->Playing());
  }
  // Thrust sounds once per press, not every frame it is held.
  step(5);
  EXPECT_EQ(audio.channels_of(snd_thrust.get()).size(), 1u);
}

TEST_F(SoundTest, WithTheSoundVolumeOffEffectsStillStartOnSilentChannels) {
  auto& audio = sim_audio();
  new_game();
  sfx_volume = 0.0f;
  tap(kFire);
  step();
  const auto shots = audio.channels_of(snd_shoot.get());
  ASSERT_EQ(shots.size(), 1u);
  EXPECT_FLOAT_EQ(shots[0]->volume(), 0.0f);
  EXPECT_EQ(shots[0]->resumes, 1);
}

TEST_F(SoundTest, TheUfoHumStartsOnWarpInStopsOnPauseAndRestartsFromItsStartOnResume) {
  auto& audio = sim_audio();
  new_game();
  music_volume = 0.6f;
  music_level = 6;
  auto music = simulated(music_channel);
  ufo_tmr = 1;
  step();
  ASSERT_EQ(ufo_on, 1);
  EXPECT_TRUE(sound_played("ufoloop.ogg"));
  auto hum = simulated(ufo_channel);
  ASSERT_TRUE(hum);
  EXPECT_EQ(hum->sound, snd_ufoloop.get());
  // The hum follows the music volume, not the sound volume.
  EXPECT_FLOAT_EQ(hum->volume(), 0.6f);
  EXPECT_TRUE(hum->Playing());

  tap(kEscape);
  step();
  ASSERT_EQ(game_state, STATE_PAUSE);
  EXPECT_TRUE(hum->stopped);
  EXPECT_TRUE(music->Playing());

  // A music volume change on the pause menu reaches the hum only when it starts again.
  click_item(4);
  EXPECT_NEAR(music_volume, 0.7f, 1e-5f);
  EXPECT_NEAR(music->volume(), 0.7f, 1e-5f);
  tap(kSpace);
  step();
  ASSERT_EQ(game_state, STATE_PLAY);
  EXPECT_TRUE(sound_played("ufoloop.ogg"));
  auto second = simulated(ufo_channel);
  ASSERT_NE(second, hum);
  EXPECT_TRUE(second->Playing());
  EXPECT_NEAR(second->volume(), 0.7f, 1e-5f);

  // "Resume Game" restarts it as well; "Quit This Game" does not.
  tap(kEscape);
  step();
  click_item(0);
  ASSERT_EQ(game_state, STATE_PLAY);
  auto third = simulated(ufo_channel);
  EXPECT_TRUE(second->stopped);
  ASSERT_NE(third, second);
  EXPECT_TRUE(third->Playing());
  tap(kEscape);
  step();
  const size_t hums = audio.channels_of(snd_ufoloop.get()).size();
  click_item(5);
  EXPECT_EQ(game_state, STATE_TITLE);
  EXPECT_EQ(audio.channels_of(snd_ufoloop.get()).size(), hums);
  EXPECT_TRUE(music->Playing());
}

TEST_F(SoundTest, LosingTheFocusSilencesMusicAndHumUntilItComesBack) {
  ASSERT_NO_FATAL_FAILURE(new_game_with_ufo());
  const auto music_and_one_hum = [this] {
    return std::count(playing().begin(), playing().end(), "p_track.ogg") == 1 &&
           hums(playing()) == 1;
  };
  ASSERT_TRUE(music_and_one_hum());
  const int64_t away = sim_->frames_run();
  focus_away_for(20);
  step();
  for (const auto& frame : frames_)
    if (frame.frame >= away && frame.frame < away + 20) {
      // Effects already started play out; the music and the hum wait.
      EXPECT_EQ(std::count(frame.playing.begin(), frame.playing.end(), "p_track.ogg"), 0);
      EXPECT_EQ(hums(frame.playing), 0u) << "frame " << frame.frame;
    }
  // The music goes on where it paused; the hum starts again, once.
  EXPECT_TRUE(music_and_one_hum());
  EXPECT_EQ(sim_audio().channels_of(snd_ufoloop.get()).size(), 2u);
}

TEST_F(SoundTest, TheHumNeverPlaysOnThePauseMenuAndStaysSingleWhateverTheFocusDoes) {
  ASSERT_NO_FATAL_FAILURE(paused_game_with_ufo());
  focus_away_for(10);
  step();
  EXPECT_EQ(hums(playing()), 0u);
  tap(kSpace);
  step();
  ASSERT_EQ(game_state, STATE_PLAY);
  EXPECT_EQ(hums(playing()), 1u);
  // Off the right edge: the UFO leaves, and with it every hum.
  ufo->x = 700;
  step();
  ASSERT_EQ(ufo_on, 0);
  EXPECT_EQ(hums(playing()), 0u);
}

TEST_F(SoundTest, LeavingForTheTitleWithAUfoUpSilencesTheHumForGood) {
  ASSERT_NO_FATAL_FAILURE(paused_game_with_ufo());
  click_item(5);
  ASSERT_EQ(game_state, STATE_TITLE);
  focus_away_for(10);
  step();
  EXPECT_EQ(hums(playing()), 0u);
  click_item(0);
  ASSERT_EQ(game_state, STATE_PLAY);
  EXPECT_EQ(ufo_on, 0);
  EXPECT_EQ(hums(playing()), 0u);
}

TEST_F(SoundTest, LosingTheLastShipWithAUfoOnScreenSilencesTheHum) {
  sim_audio();
  new_game();
  ufo_tmr = 1;
  step();
  auto hum = simulated(ufo_channel);
  player->lives = 1;
  game_state = STATE_DESTROYED;
  state_ctr = 250;
  step();
  EXPECT_EQ(game_state, STATE_GAME_OVER);
  EXPECT_EQ(ufo_on, 0);
  EXPECT_TRUE(hum->stopped);
}

TEST_F(SoundTest, TheShipReturningAfterALossPlaysTheStageSound) {
  new_game();
  game_state = STATE_DESTROYED;
  state_ctr = 250;
  step();
  EXPECT_EQ(game_state, STATE_PLAY);
  EXPECT_TRUE(sound_played("stage.ogg"));
}

TEST_F(SoundTest, ExitStopsThePlayingMusic) {
  sim_audio();
  auto music = simulated(music_channel);
  ASSERT_TRUE(music->Playing());
  click_item(5);
  sim_->finish();
  EXPECT_TRUE(music->stopped);
}

TEST(SoundStartTest, TheDefaultTrackAStartsWithTheSplash) {
  const std::string trace_path = ::testing::TempDir() + "vextral_sound_trace.jsonl";
  sim_config config;
  config.default_data_dir = VEXTRAL_TEST_DATA_DIR;
  config.trace_file = trace_path;
  sim_event escape;
  escape.kind = sim_event_kind::key_down;
  escape.code = kEscape;
  config.events.push_back(escape);
  {
    simulator sim(config);
    ASSERT_TRUE(sim.run(3));
  }
  std::ifstream trace(trace_path);
  std::string first;
  std::getline(trace, first);
  EXPECT_NE(first.find("\"sounds\":[\"p_track.ogg\"]"), std::string::npos) << first;
}

}  // namespace
