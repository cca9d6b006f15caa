#pragma once
// Asteroids: drift, spin, wrap with a 40-pixel margin, and run every collision test
// that involves an asteroid (player shots, UFO shot, ship, UFO) inside their update.
// Live asteroids are kept in astro_list. Game thread only.

#include <cstdint>

class astro_tag {
 public:
  // Creates count asteroids of the given scale and speed with random heading, frame
  // and spin; at (x, y) when at_pos != 0, else each on the top edge. count <= 0 does nothing.
  static void create_new(int32_t at_pos, int32_t count, float x, float y, float scale, float speed);
  // Gives every asteroid a fresh heading and moves it to the top edge (y = -14).
  static void reset_all();
  static void erase_all();
  // Sets astro_ctr to 0 and updates every asteroid (fragments born this frame included).
  static void update_all();
  // Move, spin, count, draw, wrap, then the four collision tests.
  void update();

  float x = 0.0f;
  float y = 0.0f;
  float angle = 0.0f;
  float scale = 0.0f;  // exactly 1.0, 0.8, 0.6 or 0.4
  float speed = 0.0f;
  int32_t rotation = 0;
  int32_t frame = 0;

 private:
  void break_up();
};
