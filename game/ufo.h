#pragma once
// The UFO: crosses the screen spinning, fires one shot at a time along its upper
// body's rotation, and can be shot for 500 points times the level. The one instance
// is the global `ufo`; `ufo_on` says whether it is on screen. Game thread only.

#include <cstdint>

class ufo_tag {
 public:
  // Enters at a random side and height, drops any shot in flight, starts the hum.
  void warp_in();
  // Moves, draws, spins, leaves at the far edge, tests player shots and the ship, fires.
  void update();
  // Moves and draws the shot, tests the ship, ends it at the screen edges.
  void shot_update();

  float x = 0.0f;
  float y = 0.0f;
  float scale = 0.0f;
  float angle = 0.0f;  // 90 flying right, 270 flying left
  int32_t shot_on = 0;
  float shot_x = 0.0f;
  float shot_y = 0.0f;
  int32_t shot_ang = 0;
  int32_t t_rot = 0;
  int32_t b_rot = 0;
};
