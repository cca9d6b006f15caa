// The title and pause menus: which row hovers which item, what each click does, and the
// joystick pointer. Read back from the draw calls and the recording audio driver.

#include <gtest/gtest.h>

#include "game/menu.h"
#include "input/input.h"
#include "render/stereo.h"
#include "screens_support.h"

namespace {

using MenuTest = ScreensTest;

TEST_F(MenuTest, PointerRowsHoverTheItemUnderThemAndNothingAboveOrBelow) {
  const struct {
    int32_t row;
    const char* hovered;  // nullptr: nothing enlarged
  } rows[] = {
      {230, nullptr},     {231, "Start Game"}, {259, "Start Game"}, {260, "3D Graphics: Off"},
      {380, "Exit Game"}, {409, "Exit Game"},  {410, nullptr},      {470, nullptr},
  };
  for (const auto& row : rows) {
    next_frame(sim_event_kind::mouse_move, 0, 320, row.row);
    const auto enlarged = enlarged_texts(frame_calls());
    if (row.hovered) {
      ASSERT_EQ(enlarged.size(), 1u) << row.row;
      EXPECT_EQ(enlarged[0], without_spaces(row.hovered)) << row.row;
    } else {
      EXPECT_TRUE(enlarged.empty()) << row.row;
    }
  }
}

TEST_F(MenuTest, TheTitleMenuDrawsSixItemsThirtyPixelsApartAndTheVersionLine) {
  next_frame(sim_event_kind::mouse_move, 0, 20, 20);
  const auto calls = frame_calls();
  const char* labels[] = {"Start Game",        "3D Graphics: Off",  "Music: Track A",
                          "Sound Volume: Max", "Music Volume: Max", "Exit Game"};
  for (int item = 0; item < 6; ++item) {
    const auto texts = texts_reading(calls, labels[item]);
    ASSERT_EQ(texts.size(), 1u) << labels[item];
    EXPECT_NEAR(texts[0].pen_y, 250.0f + 30.0f * item - TextHeight("") / 2.0f, 1e-3f);
    EXPECT_NEAR(texts[0].pen_x, 320.0f - TextWidth(labels[item]) / 2.0f, 1e-3f);
    EXPECT_EQ(texts[0].first.red, 200);
    EXPECT_EQ(texts[0].first.blue, 100);
  }
  const auto version = texts_reading(calls, version_text);
  ASSERT_EQ(version.size(), 1u);
  EXPECT_NE(version_text.find("the Vextral project"), std::string::npos);
  EXPECT_LE(TextWidth(version_text), 640);
  // The flat title at (320, 130) and the pointer's corner on the pointer.
  const auto title = frames_drawn(calls, title_flat_img);
  ASSERT_EQ(title.size(), 1u);
  EXPECT_FLOAT_EQ(title[0].args[4], 320.0f);
  EXPECT_FLOAT_EQ(title[0].args[5], 130.0f);
  const auto pointer = frames_drawn(calls, pointer_img);
  ASSERT_EQ(pointer.size(), 1u);
  EXPECT_FLOAT_EQ(pointer[0].args[0], 0.0f);
  EXPECT_FLOAT_EQ(pointer[0].args[4], 20.0f);
  EXPECT_FLOAT_EQ(pointer[0].args[5], 20.0f);
}

TEST_F(MenuTest, AClickOnNoItemOnlyFlushesTheInput) {
  next_frame(sim_event_kind::key_down, 27);  // swallowed by the flush
  click_at(320, 230);
  EXPECT_EQ(game_state, STATE_TITLE);
  EXPECT_FALSE(sim_->quit());
  click_at(320, 420);
  EXPECT_EQ(game_state, STATE_TITLE);
  EXPECT_FALSE(sim_->quit());
}

TEST_F(MenuTest, NoKeySelectsAnItem) {
  next_frame(sim_event_kind::mouse_move, 0, 320, 252);
  for (int32_t key : {13, 32, 162, 38}) tap(key);
  step(3);
  EXPECT_EQ(game_state, STATE_TITLE);
}

TEST_F(MenuTest, StartGameBeginsANewGameWithTheStageSound) {
  player->score = 900;
  click_item(0);
  EXPECT_EQ(game_state, STATE_PLAY);
  EXPECT_EQ(player->score, 0);
  EXPECT_EQ(player->lives, 3);
  EXPECT_TRUE(sound_played("stage.ogg"));
}

TEST_F(MenuTest, SoundVolumeCyclesMaxOffTenPercentToMaxPlayingTheShotAtEachNewVolume) {
  auto& audio = sim_audio();
  const char* expected[] = {"Off", "10%", "20%", "30%", "40%", "50%",
                            "60%", "70%", "80%", "90%", "Max"};
  for (int click = 0; click < 11; ++click) {
    const size_t before = audio.channels_of(snd_shoot.get()).size();
    click_item(3);
    EXPECT_EQ(sfx_level, click == 10 ? 10 : click);
    const auto shots = audio.channels_of(snd_shoot.get());
    ASSERT_EQ(shots.size(), before + 1) << click;
    EXPECT_NEAR(shots.back()->volume(), click * 0.1f, 1e-5f) << click;
    EXPECT_FALSE(shots.back()->paused);
    EXPECT_TRUE(sound_played("shoot.ogg"));
    const auto calls = frame_calls();
    EXPECT_EQ(texts_reading(calls, std::string("Sound Volume: ") + expected[click]).size(), 1u)
        << click;
  }
  EXPECT_NEAR(sfx_volume, 1.0f, 1e-5f);
}

TEST_F(MenuTest, MusicVolumeChangesThePlayingTrackAtOnce) {
  auto& audio = sim_audio();
  auto track = simulated(music_channel);
  ASSERT_TRUE(track);
  const size_t channels = audio.channels.size();
  click_item(4);
  EXPECT_EQ(music_level, 0);
  EXPECT_FLOAT_EQ(track->volume(), 0.0f);
  click_item(4);
  EXPECT_NEAR(track->volume(), 0.1f, 1e-6f);
  EXPECT_EQ(simulated(music_channel), track);
  EXPECT_EQ(audio.channels.size(), channels);
  EXPECT_EQ(texts_reading(frame_calls(), "Music Volume: 10%").size(), 1u);
}

TEST_F(MenuTest, ChangingTheTrackStopsTheOldOneAndStartsTheOtherFromItsBeginning) {
  auto& audio = sim_audio();
  music_volume = 0.5f;
  auto track_a = simulated(music_channel);
  ASSERT_TRUE(track_a);
  const size_t sounds = audio.sounds_made.size();
  click_item(2);
  EXPECT_EQ(music_track, 1);
  EXPECT_TRUE(track_a->stopped);
  EXPECT_TRUE(sound_played("t_track.ogg"));
  auto track_b = simulated(music_channel);
  ASSERT_TRUE(track_b);
  EXPECT_NE(track_b, track_a);
  // A freshly loaded looping sound on a fresh channel, at the music volume.
  ASSERT_EQ(audio.sounds_made.size(), sounds + 1);
  EXPECT_EQ(track_b->sound, audio.sounds_made.back().get());
  EXPECT_EQ(audio.sounds_made.back()->flags, kSoundLoop);
  EXPECT_FLOAT_EQ(track_b->volume(), 0.5f);
  EXPECT_TRUE(track_b->Playing());
  EXPECT_EQ(texts_reading(frame_calls(), "Music: Track B").size(), 1u);

  click_item(2);
  EXPECT_EQ(music_track, 2);
  EXPECT_TRUE(track_b->stopped);
  EXPECT_TRUE(sound_played("p_track.ogg"));
  EXPECT_TRUE(simulated(music_channel)->Playing());
  EXPECT_EQ(texts_reading(frame_calls(), "Music: Track A").size(), 1u);
}

TEST_F(MenuTest, StereoCyclesThroughTheFourSchemesAndOffApplyingTheTintsAtOnce) {
  const struct {
    const char* name;
    int32_t left[3];
    int32_t right[3];
  } schemes[] = {
      {"M\\G", {140, 4, 40}, {4, 100, 20}},
      {"R\\G", {4, 100, 20}, {140, 4, 10}},
      {"R\\C", {4, 80, 60}, {140, 4, 10}},
      {"R\\B", {4, 20, 140}, {140, 4, 20}},
  };
  for (int mode = 1; mode <= 4; ++mode) {
    const auto& scheme = schemes[mode - 1];
    click_item(1);
    EXPECT_EQ(stereo_mode, mode);
    EXPECT_EQ(draw3d->leye_r, scheme.left[0]);
    EXPECT_EQ(draw3d->leye_g, scheme.left[1]);
    EXPECT_EQ(draw3d->leye_b, scheme.left[2]);
    EXPECT_EQ(draw3d->reye_r, scheme.right[0]);
    EXPECT_EQ(draw3d->reye_g, scheme.right[1]);
    EXPECT_EQ(draw3d->reye_b, scheme.right[2]);
    // The next frame is drawn in the new scheme: the backdrop as a tinted pair.
    const auto calls = frame_calls();
    const auto backdrop = frames_drawn(calls, backdrop_img);
    ASSERT_EQ(backdrop.size(), 4u);
    EXPECT_FLOAT_EQ(backdrop[0].args[4], 6.0f);
    EXPECT_EQ(backdrop[0].red, scheme.left[0]);
    EXPECT_EQ(backdrop[1].blue, scheme.right[2]);
    EXPECT_EQ(texts_reading(calls, std::string("3D Graphics: ") + scheme.name).size(), 2u);
    // The stereo title replaces the flat one.
    EXPECT_TRUE(frames_drawn(calls, title_flat_img).empty());
    EXPECT_EQ(frames_drawn(calls, title_img).size(), 4u);
  }
  click_item(1);
  EXPECT_EQ(stereo_mode, 0);
  // Off keeps the last tints; they are not used.
  EXPECT_EQ(draw3d->leye_b, 140);
  const auto calls = frame_calls();
  EXPECT_EQ(frames_drawn(calls, backdrop_img).size(), 1u);
  EXPECT_EQ(texts_reading(calls, "3D Graphics: Off").size(), 1u);
}

TEST_F(MenuTest, ExitGameOnTheTitleMenuQuits) {
  click_item(5);
  EXPECT_TRUE(sim_->quit());
}

TEST_F(MenuTest, ThePauseMenuResumesOrAbandonsTheGameOverTheDimmedSnapshot) {
  new_game();
  player->score = 250;
  tap(27);
  step();
  ASSERT_EQ(game_state, STATE_PAUSE);
  auto calls = frame_calls();
  EXPECT_EQ(pointer_x, 320);
  EXPECT_EQ(pointer_y, 245);
  EXPECT_EQ(texts_reading(calls, "Resume Game").size(), 1u);
  EXPECT_EQ(texts_reading(calls, "Quit This Game").size(), 1u);
  EXPECT_TRUE(texts_reading(calls, "Start Game").empty());
  const auto snapshot = frames_drawn(calls, pause_img);
  ASSERT_EQ(snapshot.size(), 1u);
  EXPECT_EQ(snapshot[0].red, 50);
  EXPECT_EQ(snapshot[0].blend, BLEND_MASK);
  EXPECT_TRUE(frames_drawn(calls, backdrop_img).empty());

  click_item(0);
  EXPECT_EQ(game_state, STATE_PLAY);
  EXPECT_EQ(player->score, 250);

  tap(32);
  step();
  ASSERT_EQ(game_state, STATE_PAUSE);
  click_item(5);
  EXPECT_EQ(game_state, STATE_TITLE);
  EXPECT_FALSE(sim_->quit());
  // Abandoned, not reset: the title shows the last game's score.
  EXPECT_EQ(player->score, 250);
  step();
  EXPECT_EQ(pointer_y, 245);
}

TEST_F(MenuTest, FullJoystickDeflectionMovesThePointerSixPixelsAFrame) {
  sim_->finish();
  start(1234, {event_at(0, sim_event_kind::joy_axis, 0)});
  step();
  const int32_t x = pointer_x, y = pointer_y;
  sim_event axis = event_at(sim_->frames_run(), sim_event_kind::joy_axis, 0);
  axis.value = 1.0f;
  sim_->add_event(axis);
  step(3);
  EXPECT_EQ(pointer_x, x + 18);
  EXPECT_EQ(pointer_y, y);

  axis = event_at(sim_->frames_run(), sim_event_kind::joy_axis, 0);
  axis.value = 0.9f;
  sim_->add_event(axis);
  step(3);
  EXPECT_EQ(pointer_x, x + 18);

  axis = event_at(sim_->frames_run(), sim_event_kind::joy_axis, 1);
  axis.value = -1.0f;
  sim_->add_event(axis);
  step(2);
  EXPECT_EQ(pointer_y, y - 12);

  // Joystick button 0 clicks the hovered item.
  axis = event_at(sim_->frames_run(), sim_event_kind::joy_axis, 1);
  axis.value = 0.0f;
  sim_->add_event(axis);
  next_frame(sim_event_kind::mouse_move, 0, 320, 252);
  step();
  next_frame(sim_event_kind::joy_button, 0, 1);
  step();
  EXPECT_EQ(game_state, STATE_PLAY);
}

}  // namespace
