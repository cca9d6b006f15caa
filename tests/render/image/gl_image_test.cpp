// Images on OpenGL (Mesa under Xvfb): texture sizes and edge smearing, drawing with handle,
// rotation and scale, textures re-made after a new graphics and deleted with their frames.

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <vector>

#include "render/default_driver.h"
#include "render/gl/gl_api.h"
#include "render/gl/gl_graphics.h"
#include "render/gl/gl_image_frame.h"
#include "render/gl/gl_render2d.h"
#include "render/graphics.h"
#include "render/image.h"
#include "render/pixmap.h"
#include "render/render2d.h"
#include "startup_pattern.h"

namespace {

class GLImages : public testing::Test {
 protected:
  void SetUp() override {
    InstallDefaultGraphicsDriver();
    graphics_ = OpenGraphics(640, 480, 0, 60, 0);
    ASSERT_TRUE(graphics_) << "no OpenGL graphics";
    SetClsColor(0, 0, 0);
    SetColor(255, 255, 255);
    SetAlpha(1.0f);
    SetBlend(BLEND_SOLID);
    SetRotationScale(0, 1, 1);
    SetOrigin(0, 0);
    Cls();
  }
  void TearDown() override { EndGraphics(); }

  static std::shared_ptr<TGLImageFrame> GLFrame(const std::shared_ptr<TImage>& image) {
    return std::dynamic_pointer_cast<TGLImageFrame>(image->Frame(0));
  }

  // The texels of one level of a texture, RGBA, row 0 of the pixmap first, read through a
  // framebuffer (which every kind of context can do); w and h get the level's size.
  static std::vector<uint8_t> Texels(int32_t name, int32_t level, int32_t& w, int32_t& h) {
    // Mesa offers the size query in its ES contexts too (ES 3.1).
    using LevelParameter = void(VEXTRAL_GLAPI*)(GLenum, GLint, GLenum, GLint*);
    auto level_parameter =
        reinterpret_cast<LevelParameter>(SDL_GL_GetProcAddress("glGetTexLevelParameteriv"));
    if (!level_parameter) return {};
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(name));
    level_parameter(GL_TEXTURE_2D, level, 0x1000 /* GL_TEXTURE_WIDTH */, &w);
    level_parameter(GL_TEXTURE_2D, level, 0x1001 /* GL_TEXTURE_HEIGHT */, &h);
    glBindTexture(GL_TEXTURE_2D, 0);
    TGLRender2DDriver::ForgetTexture(static_cast<uint32_t>(name));
    std::vector<uint8_t> texels(static_cast<size_t>(w) * h * 4);
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                           static_cast<GLuint>(name), level);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER,
                      GLGraphicsDriver()->CurrentGLGraphics()->_context->framebuffer);
    glDeleteFramebuffers(1, &framebuffer);
    return texels;
  }

  std::shared_ptr<TGraphics> graphics_;
};

std::shared_ptr<TImage> SolidImage(int32_t w, int32_t h, uint32_t argb, int32_t flags = 0) {
  auto pixels = CreatePixmap(w, h, PF_RGBA8888);
  pixels->ClearPixels(argb);
  return LoadImage(pixels, flags);
}

TEST_F(GLImages, OddSizesArePaddedToPowersOfTwoWithASmearedEdge) {
  auto pixels = CreatePixmap(130, 130, PF_RGB888);
  for (int y = 0; y < 130; ++y)
    for (int x = 0; x < 130; ++x) pixels->WritePixel(x, y, 0xFF000000u | (x << 16) | (y << 8) | 7);
  auto image = LoadImage(pixels, 0);
  auto frame = GLFrame(image);
  ASSERT_TRUE(frame);
  EXPECT_FLOAT_EQ(frame->u1, 0.5078125f);
  EXPECT_FLOAT_EQ(frame->v1, 0.5078125f);
  EXPECT_EQ(frame->u0, 0.0f);
  EXPECT_EQ(frame->seq, GraphicsSeq());
  int32_t w = 0, h = 0;
  std::vector<uint8_t> texels = Texels(frame->name, 0, w, h);
  ASSERT_EQ(w, 256);
  ASSERT_EQ(h, 256);
  auto at = [&](int x, int y) { return &texels[(static_cast<size_t>(y) * w + x) * 4]; };
  EXPECT_EQ(at(129, 5)[0], 129);
  EXPECT_EQ(at(130, 5)[0], 129);  // column 130 repeats column 129
  EXPECT_EQ(at(130, 5)[1], 5);
  EXPECT_EQ(at(5, 130)[1], 129);  // row 130 repeats row 129
  EXPECT_EQ(at(130, 130)[0], 129);
  EXPECT_EQ(at(130, 130)[1], 129);
  EXPECT_EQ(at(64, 64)[3], 255);
}

TEST_F(GLImages, PowerOfTwoImagesAreUploadedAsTheyAre) {
  auto image = SolidImage(64, 32, 0xFF336699);
  auto frame = GLFrame(image);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->u1, 1.0f);
  EXPECT_EQ(frame->v1, 1.0f);
  int32_t w = 0, h = 0;
  std::vector<uint8_t> texels = Texels(frame->name, 0, w, h);
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 32);
  EXPECT_EQ(texels[0], 0x33);
  EXPECT_EQ(texels[2], 0x99);
}

TEST_F(GLImages, MipmappedImagesGetEveryLevel) {
  auto pixels = CreatePixmap(8, 2, PF_RGBA8888);
  for (int x = 0; x < 8; ++x) {
    pixels->WritePixel(x, 0, x % 2 ? 0xFFFFFFFF : 0xFF000000);
    pixels->WritePixel(x, 1, x % 2 ? 0xFFFFFFFF : 0xFF000000);
  }
  auto image = LoadImage(pixels, IMAGE_FILTERED | IMAGE_MIPMAPPED);
  auto frame = GLFrame(image);
  ASSERT_TRUE(frame);
  int32_t w = 0, h = 0;
  std::vector<uint8_t> level1 = Texels(frame->name, 1, w, h);
  EXPECT_EQ(w, 4);
  EXPECT_EQ(h, 1);
  EXPECT_NEAR(level1[0], 127, 1);  // black and white averaged
  Texels(frame->name, 3, w, h);
  EXPECT_EQ(w, 1);
  EXPECT_EQ(h, 1);
}

TEST_F(GLImages, DrawnImagesLandOnTheirPixelsWithHandleRotationAndScale) {
  auto red = SolidImage(4, 4, 0xFFFF0000);
  SetImageHandle(red, 2, 2);
  DrawImage(red, 100, 100);
  EXPECT_EQ(ScreenPixel(98, 98), 0xFF0000u);
  EXPECT_EQ(ScreenPixel(101, 101), 0xFF0000u);
  EXPECT_EQ(ScreenPixel(97, 100), 0u);
  EXPECT_EQ(ScreenPixel(102, 100), 0u);
  EXPECT_EQ(ScreenPixel(100, 102), 0u);

  // 8 x 2, handle at its top-left, rotated 90 degrees clockwise: shape x runs down the screen
  // and shape y to the left, so it covers x 48..49, y 50..57.
  auto bar = SolidImage(8, 2, 0xFF00FF00);
  SetRotation(90);
  DrawImage(bar, 50, 50);
  SetRotation(0);
  EXPECT_EQ(ScreenPixel(48, 50), 0x00FF00u);
  EXPECT_EQ(ScreenPixel(49, 57), 0x00FF00u);
  EXPECT_EQ(ScreenPixel(50, 50), 0u);
  EXPECT_EQ(ScreenPixel(48, 58), 0u);

  SetScale(2, 3);
  SetOrigin(10, 20);
  DrawImage(red, 200, 200);  // handle (2, 2) scaled: x 206..213, y 214..225
  SetScale(1, 1);
  SetOrigin(0, 0);
  EXPECT_EQ(ScreenPixel(206, 214), 0xFF0000u);
  EXPECT_EQ(ScreenPixel(213, 225), 0xFF0000u);
  EXPECT_EQ(ScreenPixel(205, 214), 0u);
  EXPECT_EQ(ScreenPixel(206, 226), 0u);

  DrawImageRect(red, 300, 300, 10, 6);  // stretched, handle kept: x 298..307, y 298..303
  EXPECT_EQ(ScreenPixel(307, 303), 0xFF0000u);
  EXPECT_EQ(ScreenPixel(308, 303), 0u);
  EXPECT_EQ(ScreenPixel(307, 304), 0u);
}

TEST_F(GLImages, ColourAndMaskBlendApplyToImages) {
  auto image = SolidImage(2, 1, 0xFFFFFFFF);
  image->pixmaps[0]->WritePixel(1, 0, 0x00FFFFFF);  // transparent: alpha test drops it
  image->Lock(0, true, true);
  SetBlend(BLEND_MASK);
  SetColor(255, 0, 0);
  DrawImage(image, 10, 10);
  EXPECT_EQ(ScreenPixel(10, 10), 0xFF0000u);
  EXPECT_EQ(ScreenPixel(11, 10), 0u);
}

TEST_F(GLImages, ASecondOpenGraphicsRecreatesTextures) {
  auto image = SolidImage(4, 4, 0xFF0000FF);
  DrawImage(image, 10, 10);
  auto first = GLFrame(image);
  ASSERT_TRUE(first);
  const int32_t first_seq = first->seq;
  EXPECT_EQ(GLFrame(image), first);  // unchanged while the graphics stays

  EndGraphics();
  first.reset();
  graphics_ = OpenGraphics(640, 480, 0, 60, 0);
  ASSERT_TRUE(graphics_);
  SetBlend(BLEND_SOLID);
  Cls();
  DrawImage(image, 10, 10);
  auto second = GLFrame(image);
  ASSERT_TRUE(second);
  EXPECT_NE(second->seq, first_seq);
  EXPECT_EQ(second->seq, GraphicsSeq());
  EXPECT_EQ(ScreenPixel(12, 12), 0x0000FFu);
}

// Each cycle draws an image kept for the whole run and one dropped once the graphics has
// ended. Seen from another context of the share group after the cycle, the dropped image's texture,
// the kept image's texture of the cycle before and the back buffer's renderbuffers must all be
// gone.
TEST_F(GLImages, EndAndOpenCyclesLeaveNoTexturesOrBuffersBehind) {
  auto kept = SolidImage(4, 4, 0xFF0000FF);
  GLuint previous_kept = 0;
  // Kept open (never current) for the whole test, so the share group outlives each cycle's
  // graphics and what each cycle leaves behind can be seen from it.
  std::shared_ptr<TGraphics> keeper = CreateGraphics(16, 16, 0, 0, 0);
  ASSERT_TRUE(keeper);
  for (int cycle = 0; cycle < 3; ++cycle) {
    if (cycle > 0) {
      // The second cycle asks for a depth buffer, so its renderbuffers are covered too.
      graphics_ = OpenGraphics(640, 480, 0, 60, cycle == 1 ? GFX_DEPTH_BUFFER : 0);
      ASSERT_TRUE(graphics_);
      SetBlend(BLEND_SOLID);
    }
    auto dropped = SolidImage(130, 130, 0xFFFF0000);
    DrawImage(dropped, 20, 20);
    DrawImage(kept, 10, 10);
    EXPECT_EQ(ScreenPixel(11, 11), 0x0000FFu);
    EXPECT_EQ(ScreenPixel(40, 40), 0xFF0000u);
    const GLuint dropped_name = static_cast<GLuint>(GLFrame(dropped)->name);
    const GLuint kept_name = static_cast<GLuint>(GLFrame(kept)->name);
    const TGLContext& context = *GLGraphicsDriver()->CurrentGLGraphics()->_context;
    // Only the cycle with a depth buffer surely draws off screen (the others may draw
    // straight into their windows).
    std::vector<GLuint> buffers;
    for (GLuint buffer : {context.colour_buffer, context.stencil_buffer}) {
      if (buffer != 0) buffers.push_back(buffer);
    }
    if (cycle == 1) {
      ASSERT_EQ(buffers.size(), 2u);
    }

    EndGraphics();
    dropped.reset();
    GLGraphicsDriver()->SwapSharedContext();  // nothing is current: the keeper's context
    EXPECT_FALSE(glIsTexture(dropped_name)) << "cycle " << cycle;
    if (previous_kept != 0) {
      EXPECT_FALSE(glIsTexture(previous_kept)) << "cycle " << cycle;
    }
    EXPECT_TRUE(glIsTexture(kept_name)) << "kept until the image is drawn again";
    for (GLuint buffer : buffers) EXPECT_FALSE(glIsRenderbuffer(buffer)) << "cycle " << cycle;
    GLGraphicsDriver()->SwapSharedContext();
    previous_kept = kept_name;
  }
  CloseGraphics(keeper);
}

TEST_F(GLImages, ChangingPixelsRemakesTheTextureAndDropsTheOldOne) {
  auto image = SolidImage(4, 4, 0xFF0000FF);
  DrawImage(image, 10, 10);
  const GLuint old_name = static_cast<GLuint>(GLFrame(image)->name);
  EXPECT_TRUE(glIsTexture(old_name));
  LockImage(image, 0, true, true)->ClearPixels(0xFFFFFF00);
  EXPECT_FALSE(glIsTexture(old_name));
  DrawImage(image, 10, 10);
  EXPECT_EQ(ScreenPixel(11, 11), 0xFFFF00u);
  const GLuint name = static_cast<GLuint>(GLFrame(image)->name);
  image.reset();
  EXPECT_FALSE(glIsTexture(name));
}

TEST_F(GLImages, StartupPatternWorksOnOpenGL) {
  RunStartupPattern(true);
}

}  // namespace
