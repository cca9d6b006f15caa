#pragma once
// The player ship: motion, controls, cloak and firing, plus the game's score,
// best score, lives and level. The one instance is the global `player`.
// Game thread only.

#include <cstdint>

class player_tag {
 public:
  // full != 0 starts a new game (score, lives, level, first asteroid, a fresh UFO and timer,
  // empty lists); always re-places the ship at rest at (320, 220), nose up, uncloaked.
  static void reset(int32_t full);
  // Drifts with friction, draws the ship and wraps it with a 20-pixel margin.
  void update();
  // Rotates, thrusts or brakes, fires and cloaks from the keyboard or joystick port 0.
  void get_inputs();

  int32_t score = 0;
  int32_t best_sc = 0;
  int32_t new_bs = 0;
  int32_t lives = 0;
  int32_t level = 0;
  int32_t cloak_ctr = 0;
  int32_t shot_side = 0;
  float x = 0.0f;
  float y = 0.0f;
  float rotation = 0.0f;
  float scale = 0.0f;
  float speed = 0.0f;
  float direction = 0.0f;
  int32_t thrust_on = 0;
  int32_t shot_tmr = 0;
};

// Empties the flame, shot, asteroid, explosion and particle lists, in that order.
void erase_all_entities();
