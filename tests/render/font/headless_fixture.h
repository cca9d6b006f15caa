#pragma once
// A 640 x 480 headless graphics made current for each test, with helpers to pick the
// recorded calls the text and stereo code are responsible for.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "render/font.h"
#include "render/graphics.h"
#include "render/headless/headless_driver.h"
#include "render/image.h"
#include "render/pixmap.h"
#include "render/render2d.h"

class HeadlessTest : public testing::Test {
 protected:
  void SetUp() override {
    driver_ = HeadlessGraphicsDriver();
    SetGraphicsDriver(driver_);
    ASSERT_TRUE(OpenGraphics(640, 480, 0, 60, 0));
    driver_->ClearCalls();
  }
  void TearDown() override {
    EndGraphics();
    SetGraphicsDriver(nullptr);
  }

  // The recorded calls of the given kinds, in order.
  std::vector<THeadlessCall> CallsOf(const std::vector<std::string>& kinds) const {
    std::vector<THeadlessCall> picked;
    for (const THeadlessCall& call : driver_->Calls()) {
      for (const std::string& kind : kinds) {
        if (call.kind == kind) picked.push_back(call);
      }
    }
    return picked;
  }
  std::vector<THeadlessCall> Draws() const { return CallsOf({"DrawFrame"}); }
  // "SetBlend 4", "SetColor 1 2 3", "DrawFrame", ... for comparing call sequences.
  std::vector<std::string> Sequence() const {
    std::vector<std::string> lines;
    for (const THeadlessCall& call :
         CallsOf({"SetBlend", "SetColor", "SetTransform", "SetAlpha", "DrawFrame"})) {
      std::string line = call.kind;
      if (call.kind == "SetBlend" || call.kind == "SetColor") {
        for (float arg : call.args) {
          line += ' ';
          line += std::to_string(static_cast<int>(arg));
        }
      }
      lines.push_back(line);
    }
    return lines;
  }

  // A solid 8 x 8 one-frame image.
  static std::shared_ptr<TImage> Square() {
    std::shared_ptr<TPixmap> pixels = TPixmap::Create(8, 8, PF_RGBA8888);
    pixels->ClearPixels(0xFFFFFFFFu);
    return TImage::Load(pixels, 0, 0, 0, 0);
  }

  std::shared_ptr<THeadlessDriver> driver_;
};

// Tx and ty of a recorded frame draw (its last two arguments).
inline float DrawX(const THeadlessCall& call) {
  return call.args.at(call.args.size() - 2);
}
inline float DrawY(const THeadlessCall& call) {
  return call.args.at(call.args.size() - 1);
}
