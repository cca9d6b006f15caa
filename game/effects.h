#pragma once
// Explosions and particles: visual effects that take part in no collision, kept in
// explo_list and parti_list. Game thread only.

#include <cstdint>

class explo_tag {
 public:
  // One explosion centred at (x, y), starting at the given scale with a random turn.
  static void create_it(float x, float y, float scale);
  static void update_all();
  static void erase_all();
  // Turns, draws, grows; shows frames 0..5 for ten updates each and is removed after 60.
  void update();

  float x = 0.0f;
  float y = 0.0f;
  float rotation = 0.0f;
  float scale = 0.0f;
  int32_t frame = 0;
  int32_t fr_ctr = 0;
  int32_t fr_tmr = 0;
};

class parti_tag {
 public:
  // count particles at (x, y) thrown in random directions; typ 0 debris, else sparks.
  static void create_em(float x, float y, int32_t count, int32_t typ);
  static void update_all();
  static void erase_all();
  // Moves, draws at growing stereo depth, spins, grows, fades; removed when faded out.
  void update();

  float x = 0.0f;
  float y = 0.0f;
  float rotation = 0.0f;
  float angle = 0.0f;
  float scale = 0.0f;
  float alpha = 0.0f;
  float roffs = 0.0f;
  float speed = 0.0f;
  int32_t typ = 0;
};
