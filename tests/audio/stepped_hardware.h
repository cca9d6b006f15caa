#pragma once
// A ring hardware double for tests and benchmarks: nothing plays by itself; the play
// position and the clock move when the test says so (or by a fixed step per query).

#include <atomic>
#include <cstdint>
#include <memory>

#include "audio/mixer.h"

class stepped_hardware : public ringhardware {
 public:
  bool open(const int16_t* ring, int32_t) override {
    ring_ = ring;
    return !refuse_open;
  }
  void close() override { ring_ = nullptr; }
  void submit() override {
    position.store(0);
    ++submits;
  }
  void reset() override {
    position.store(0);
    ++resets;
  }
  int64_t play_position() override {
    if (fail_queries) return -1;
    return position.fetch_add(step_per_query.load()) + step_per_query.load();
  }
  void publish(int64_t written_bytes) override { published.store(written_bytes); }
  uint32_t now_millis() override { return clock.load(); }

  void advance_bytes(int64_t bytes) { position.fetch_add(bytes); }

  bool refuse_open = false;
  bool fail_queries = false;
  std::atomic<int64_t> position{0};
  std::atomic<int64_t> step_per_query{0};
  std::atomic<int64_t> published{0};
  std::atomic<uint32_t> clock{1000};
  std::atomic<int32_t> submits{0};
  std::atomic<int32_t> resets{0};

 private:
  const int16_t* ring_ = nullptr;
};

// The last stepped device made through MakeSteppedDevice (the Velmix device factory
// used by tests).
struct stepped_device_slot {
  ringdevice* device = nullptr;
  stepped_hardware* hardware = nullptr;
  bool service_thread = false;
  bool refuse_open = false;
};

inline stepped_device_slot& last_stepped_device() {
  static stepped_device_slot slot;
  return slot;
}

inline audiodevice* MakeSteppedDevice() {
  auto hardware = std::make_unique<stepped_hardware>();
  hardware->refuse_open = last_stepped_device().refuse_open;
  stepped_hardware* raw = hardware.get();
  auto* device = new ringdevice(std::move(hardware), last_stepped_device().service_thread);
  last_stepped_device().device = device;
  last_stepped_device().hardware = raw;
  return device;
}
