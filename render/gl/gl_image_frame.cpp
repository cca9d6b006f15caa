#include "render/gl/gl_image_frame.h"

#include <SDL2/SDL_opengl.h>

#include <stdexcept>

#include "render/gl/gl_graphics.h"
#include "render/gl/gl_render2d.h"
#include "render/graphics.h"
#include "render/pixmap.h"

namespace {

int32_t NextPowerOfTwo(int32_t size) {
  int32_t power = 1;
  while (power < size && power < (1 << 30)) power <<= 1;
  return power;
}

bool TextureSizePossible(int32_t width, int32_t height) {
  glTexImage2D(GL_PROXY_TEXTURE_2D, 0, 4, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  GLint probed = 0;
  glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &probed);
  return probed != 0;
}

// Runs texture work in the shared texture context and puts the caller's context (and the
// texture binding the driver's cache believes in) back afterwards, also when an error is
// thrown.
class SharedContextScope {
 public:
  SharedContextScope() : driver_(GLGraphicsDriver()) {
    driver_->SwapSharedContext();
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous_binding_);
  }
  ~SharedContextScope() {
    // A texture deleted inside the scope must not be bound again: that would re-create it.
    const GLuint previous = static_cast<GLuint>(previous_binding_);
    if (previous == 0 || glIsTexture(previous)) glBindTexture(GL_TEXTURE_2D, previous);
    driver_->SwapSharedContext();
  }
  SharedContextScope(const SharedContextScope&) = delete;
  SharedContextScope& operator=(const SharedContextScope&) = delete;

 private:
  std::shared_ptr<TGLGraphicsDriver> driver_;
  GLint previous_binding_ = 0;
};

// The pixmap laid out as the level-0 texture: the source in the top-left corner of a
// width x height RGBA pixmap, its last column and row repeated once beside and below it so
// filtering at the frame's edge never reads the unused padding.
std::shared_ptr<TPixmap> PadToTexture(const std::shared_ptr<TPixmap>& source, int32_t tex_width,
                                      int32_t tex_height) {
  const int32_t w = source->width, h = source->height;
  if (w == tex_width && h == tex_height) {
    return source->format == PF_RGBA8888 ? source : source->Convert(PF_RGBA8888);
  }
  auto padded = TPixmap::Create(tex_width, tex_height, PF_RGBA8888, 4);
  if (!padded) return nullptr;
  padded->ClearPixels(0);
  padded->Paste(*source, 0, 0);
  if (w < tex_width) padded->Paste(source->Window(w - 1, 0, 1, h), w, 0);
  if (h < tex_height) {
    padded->Paste(source->Window(0, h - 1, w, 1), 0, h);
    if (w < tex_width) padded->Paste(source->Window(w - 1, h - 1, 1, 1), w, h);
  }
  return padded;
}

}  // namespace

std::shared_ptr<TGLImageFrame> TGLImageFrame::CreateFromPixmap(
    const std::shared_ptr<TPixmap>& pixmap, int32_t flags) {
  if (!pixmap || pixmap->width <= 0 || pixmap->height <= 0) return nullptr;
  SharedContextScope scope;

  int32_t tex_width = NextPowerOfTwo(pixmap->width);
  int32_t tex_height = NextPowerOfTwo(pixmap->height);
  while (!TextureSizePossible(tex_width, tex_height)) {
    if (tex_width == 1 && tex_height == 1) throw std::runtime_error("Unable to calculate tex size");
    if (tex_width > 1) tex_width /= 2;
    if (tex_height > 1) tex_height /= 2;
  }
  const int32_t w = std::min(pixmap->width, tex_width);
  const int32_t h = std::min(pixmap->height, tex_height);
  std::shared_ptr<TPixmap> source = pixmap;
  if (w != pixmap->width || h != pixmap->height) source = ResizePixmap(pixmap, w, h);
  if (!source) return nullptr;
  std::shared_ptr<TPixmap> level_pixmap = PadToTexture(source, tex_width, tex_height);
  if (!level_pixmap) return nullptr;

  const bool mipmapped = (flags & IMAGE_MIPMAPPED) != 0;
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  if (flags & IMAGE_FILTERED) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                    mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
  } else {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                    mipmapped ? GL_NEAREST_MIPMAP_NEAREST : GL_NEAREST);
  }
  // Allocate every level first, then fill them.
  for (int32_t level = 0, lw = tex_width, lh = tex_height;; ++level) {
    glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, lw, lh, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    if (!mipmapped || (lw == 1 && lh == 1)) break;
    if (lw > 1) lw /= 2;
    if (lh > 1) lh /= 2;
  }
  for (int32_t level = 0;; ++level) {
    glPixelStorei(GL_UNPACK_ROW_LENGTH, level_pixmap->pitch / BytesPerPixel(level_pixmap->format));
    glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, level_pixmap->width, level_pixmap->height, GL_RGBA,
                    GL_UNSIGNED_BYTE, level_pixmap->pixels);
    if (!mipmapped || (level_pixmap->width == 1 && level_pixmap->height == 1)) break;
    const int32_t next_width = level_pixmap->width > 1 ? level_pixmap->width / 2 : 1;
    const int32_t next_height = level_pixmap->height > 1 ? level_pixmap->height / 2 : 1;
    level_pixmap = ResizePixmap(level_pixmap, next_width, next_height);
    if (!level_pixmap) break;
  }
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);

  auto frame = std::make_shared<TGLImageFrame>();
  frame->name = static_cast<int32_t>(texture);
  frame->u1 = static_cast<float>(w) / static_cast<float>(tex_width);
  frame->v1 = static_cast<float>(h) / static_cast<float>(tex_height);
  frame->seq = GraphicsSeq();
  return frame;
}

TGLImageFrame::~TGLImageFrame() {
  Release();
}

void TGLImageFrame::Release() {
  if (seq == 0) return;
  seq = 0;
  // The texture belongs to the shared context, which outlives every graphics, so it is
  // deleted even when the graphics it was made under has gone.
  TGLGraphicsDriver::DeleteTexture(static_cast<uint32_t>(name));
}

void TGLImageFrame::Draw(float x0, float y0, float x1, float y1, float tx, float ty) {
  if (seq == 0) return;
  TGLRender2DDriver::BindTexture(static_cast<uint32_t>(name));
  TGLRender2DDriver::EnableTextures();
  TGLRender2DDriver::QueueQuad(x0, y0, x1, y1, tx, ty, u0, v0, u1, v1);
}
