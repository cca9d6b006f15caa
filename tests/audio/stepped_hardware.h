#pragma once
// A ring hardware double for tests and benchmarks: nothing plays by itself; the play
// position and the clock move when the test says so (or by a fixed step per query).

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "audio/mixer.h"

class stepped_hardware : public ringhardware {
 public:
  bool open(const int16_t* ring, int32_t ring_bytes) override {
    ring_ = ring;
    ring_values_ = ring_bytes / 2;
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
  // Asked once per service pass.
  int64_t play_position() override {
    ++passes;
    if (fail_queries) return -1;
    return position.fetch_add(step_per_query.load()) + step_per_query.load();
  }
  void publish(int64_t written_bytes) override {
    if (watch_output.load() && ring_ != nullptr) {
      // On the thread that mixed them: the values written since the last publish.
      const int64_t last = published.load() / 2;
      for (int64_t at = std::max(last, written_bytes / 2 - ring_values_); at < written_bytes / 2;
           ++at) {
        const int32_t value = std::abs(static_cast<int32_t>(ring_[at % ring_values_]));
        if (value > loudest.load()) loudest.store(value);
      }
    }
    published.store(written_bytes);
  }
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
  std::atomic<int64_t> passes{0};
  // With watch_output set, the largest magnitude published so far.
  std::atomic<bool> watch_output{false};
  std::atomic<int32_t> loudest{0};

 private:
  const int16_t* ring_ = nullptr;
  int64_t ring_values_ = 0;
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
