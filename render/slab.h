#pragma once
// Small objects made many at a time: a font builds a glyph, its image and its picture for
// each of the hundred or so characters it shows, and one heap block per few dozen objects
// costs far less than one per object. Each object is handed out as a shared_ptr that keeps
// its whole block alive, so an object lives at least as long as anyone holds it, and its
// block goes once every object in it has been let go.

#include <array>
#include <cstddef>
#include <memory>

template <class T, size_t kPerBlock = 32>
class TSlab {
 public:
  // A default-constructed T from the current block, starting a new block when it is used up.
  std::shared_ptr<T> Make() {
    if (!block_ || used_ == kPerBlock) {
      block_ = std::make_shared<std::array<T, kPerBlock>>();
      used_ = 0;
    }
    return std::shared_ptr<T>(block_, &(*block_)[used_++]);
  }

 private:
  std::shared_ptr<std::array<T, kPerBlock>> block_;
  size_t used_ = 0;
};
