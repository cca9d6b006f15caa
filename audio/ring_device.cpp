// The ring output device: 32 blocks that the hardware loops over, refilled by a
// service pass every 5 ms that keeps the write position between 2 and latency
// blocks ahead of the play position, with a pause and a longer latency after an
// underrun.

#include <pthread.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "audio/mixer.h"

struct ringdevice::service_runner {
  std::atomic<bool> running{true};
  std::thread thread;
};

ringdevice::ringdevice(std::unique_ptr<ringhardware> hardware, bool service_thread)
    : hardware_(std::move(hardware)), service_thread_(service_thread) {}

ringdevice::~ringdevice() {
  close();
}

int32_t ringdevice::open() {
  if (hardware_ == nullptr || ring_ != nullptr) return -1;
  ring_.reset(new int16_t[kRingBlocks * kRingBlockValues]());
  if (!hardware_->open(ring_.get(), kRingBlocks * kRingBlockValues * 2)) {
    ring_.reset();
    return -1;
  }
  core = std::make_unique<mixer>(kRingBlockValues);
  latency_ = kRingStartLatency;
  write_ = 0;
  restart_ = 0;
  active_.store(true);
  service();
  hardware_->submit();
  if (service_thread_) {
    runner_ = std::make_unique<service_runner>();
    runner_->thread = std::thread([this] { run_service(); });
  }
  return 0;
}

void ringdevice::run_service() {
  pthread_setname_np(pthread_self(), kRingServiceThreadName);
  hardware_->service_thread_started();
  while (runner_->running.load(std::memory_order_acquire)) {
    service();
    std::this_thread::sleep_for(std::chrono::milliseconds(kRingServiceMillis));
  }
}

void ringdevice::close() {
  active_.store(false);
  if (runner_ != nullptr) {
    runner_->running.store(false, std::memory_order_release);
    if (runner_->thread.joinable()) runner_->thread.join();
    runner_.reset();
  }
  if (core != nullptr) core->release_all();
  if (ring_ != nullptr) {
    hardware_->reset();
    hardware_->close();
    ring_.reset();
  }
  core.reset();
}

void ringdevice::clear_ring() {
  std::memset(ring_.get(), 0, sizeof(int16_t) * kRingBlocks * kRingBlockValues);
}

void ringdevice::service() {
  if (!active_.load(std::memory_order_relaxed)) return;
  if (restart_ > 0) {
    if (--restart_ > 0) return;
    hardware_->publish(write_ * 2);
    hardware_->submit();
  }

  // The position is a 64-bit byte count: it never wraps, so long play needs no restart.
  const int64_t position = hardware_->play_position();
  if (position < 0) {
    hardware_->reset();
    clear_ring();
    write_ = 0;
    hardware_->publish(0);
    hardware_->submit();
    return;
  }

  const int64_t play = position / 2;  // in 16-bit values
  // Nothing written since the last (re)start is a fresh start, not an underrun.
  if (write_ > 0 && write_ < play + 2 * kRingBlockValues) {
    hardware_->reset();
    clear_ring();
    restart_ = kRingRestartPasses;
    if (latency_ <= kRingMaxLatency - 2) latency_ += 2;
    write_ = 2 * static_cast<int64_t>(latency_) * kRingBlockValues;
    return;
  }

  const uint32_t now = hardware_->now_millis();
  while (write_ < play + static_cast<int64_t>(latency_) * kRingBlockValues) {
    const int64_t block = (write_ / kRingBlockValues) % kRingBlocks;
    core->mix(ring_.get() + block * kRingBlockValues, now);
    write_ += kRingBlockValues;
  }
  hardware_->publish(write_ * 2);
}
