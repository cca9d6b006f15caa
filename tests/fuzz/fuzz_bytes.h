#pragma once
// Takes typed values off the front of a fuzzer's input; past the end every value is 0, so a
// short input is still a complete, valid test case.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

class fuzz_bytes {
 public:
  fuzz_bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  size_t remaining() const { return size_ - used_; }
  const uint8_t* rest() const { return data_ + used_; }

  uint8_t byte() {
    if (used_ >= size_) return 0;
    return data_[used_++];
  }
  uint32_t u32() {
    uint32_t value = 0;
    for (int shift = 0; shift < 32; shift += 8) value |= static_cast<uint32_t>(byte()) << shift;
    return value;
  }
  int32_t i32() { return static_cast<int32_t>(u32()); }
  // A value in [low, high].
  int32_t in_range(int32_t low, int32_t high) {
    const uint32_t span = static_cast<uint32_t>(high - low) + 1u;
    return low + static_cast<int32_t>(span == 0 ? u32() : u32() % span);
  }
  // Raw bit patterns reach NaN, infinities and denormals; a selector byte makes the
  // interesting values and plain small numbers common.
  float any_float() {
    switch (byte() % 8) {
      case 0:
        return std::numeric_limits<float>::quiet_NaN();
      case 1:
        return byte() & 1 ? std::numeric_limits<float>::infinity()
                          : -std::numeric_limits<float>::infinity();
      case 2:
        return (byte() & 1 ? 1.0f : -1.0f) * 3.0e38f;
      case 3:
        return static_cast<float>(i32());
      case 4: {
        const uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
      }
      default:
        return static_cast<float>(static_cast<int8_t>(byte())) / 16.0f;
    }
  }
  // Coordinates: mostly on or near the playfield, sometimes anywhere in 32 bits.
  int32_t coordinate() {
    if (byte() % 4 == 0) return i32();
    return in_range(-200, 840);
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t used_ = 0;
};
