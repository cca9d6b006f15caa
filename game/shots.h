#pragma once
// Player shots and thrust flame: short-lived sprites kept in shot_list and
// flame_list. Game thread only.

#include <cstdint>

class pshot_tag {
 public:
  // Fires one shot from the side of the ship's nose given by player->shot_side.
  static void create_it();
  // Updates (moves, draws, ages) every shot in creation order.
  static void update_all();
  static void erase_all();
  // Moves 6 pixels along rotation, draws, shrinks by 0.04 (removed at 0), wraps at the edges.
  void update();

  float x = 0.0f;
  float y = 0.0f;
  float rotation = 0.0f;
  float scale = 0.0f;  // drawing scale and remaining life
};

class tfire_tag {
 public:
  // Adds one flame puff 15 pixels behind the ship with a random spread and speed.
  static void create_it();
  static void update_all();
  static void erase_all();
  // Moves, draws, fades by 0.01 (removed at 0), wraps at the edges.
  void update();

  float x = 0.0f;
  float y = 0.0f;
  float rotation = 0.0f;
  float angle = 0.0f;
  float scale = 0.0f;  // drawing scale and remaining life
  float speed = 0.0f;
};
