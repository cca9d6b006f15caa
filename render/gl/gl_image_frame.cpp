#include "render/gl/gl_image_frame.h"

#include <algorithm>

#include "render/gl/gl_api.h"
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

// Makes and fills the texture in the current context; the texture binding is left as it was.
GLuint UploadTexture(std::shared_ptr<TPixmap> level_pixmap, int32_t flags) {
  GLint previous_binding = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous_binding);
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
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  for (int32_t level = 0;; ++level) {
    glPixelStorei(GL_UNPACK_ROW_LENGTH, level_pixmap->pitch / BytesPerPixel(level_pixmap->format));
    glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, level_pixmap->width, level_pixmap->height, 0,
                 GL_RGBA, GL_UNSIGNED_BYTE, level_pixmap->pixels);
    if (!mipmapped || (level_pixmap->width == 1 && level_pixmap->height == 1)) break;
    const int32_t next_width = level_pixmap->width > 1 ? level_pixmap->width / 2 : 1;
    const int32_t next_height = level_pixmap->height > 1 ? level_pixmap->height / 2 : 1;
    level_pixmap = ResizePixmap(level_pixmap, next_width, next_height);
    if (!level_pixmap) {
      // An incomplete chain would sample as black: fall back to the one level.
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, level);
      break;
    }
  }
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous_binding));
  return texture;
}

}  // namespace

std::shared_ptr<TGLImageFrame> TGLImageFrame::CreateFromPixmap(
    const std::shared_ptr<TPixmap>& pixmap, int32_t flags) {
  if (!pixmap || pixmap->width <= 0 || pixmap->height <= 0) return nullptr;
  TGLShareGroupScope scope;
  if (!scope.Open()) return nullptr;

  GLint max_size = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
  max_size = std::max<GLint>(max_size, 1);
  int32_t tex_width = NextPowerOfTwo(pixmap->width);
  int32_t tex_height = NextPowerOfTwo(pixmap->height);
  while (tex_width > max_size) tex_width /= 2;
  while (tex_height > max_size) tex_height /= 2;
  const int32_t w = std::min(pixmap->width, tex_width);
  const int32_t h = std::min(pixmap->height, tex_height);
  std::shared_ptr<TPixmap> source = pixmap;
  if (w != pixmap->width || h != pixmap->height) source = ResizePixmap(pixmap, w, h);
  if (!source) return nullptr;
  std::shared_ptr<TPixmap> level_pixmap = PadToTexture(source, tex_width, tex_height);
  if (!level_pixmap) return nullptr;

  auto frame = std::make_shared<TGLImageFrame>();
  frame->name = UploadTexture(level_pixmap, flags);
  frame->u1 = static_cast<float>(w) / static_cast<float>(tex_width);
  frame->v1 = static_cast<float>(h) / static_cast<float>(tex_height);
  frame->seq = GraphicsSeq();
  frame->share_group = TGLGraphicsDriver::ShareGroup();
  return frame;
}

TGLImageFrame::~TGLImageFrame() {
  Release();
}

void TGLImageFrame::Release() {
  if (seq == 0) return;
  seq = 0;
  TGLGraphicsDriver::DeleteTexture(name, share_group);
}

void TGLImageFrame::Draw(float x0, float y0, float x1, float y1, float tx, float ty) {
  if (seq == 0 || share_group != TGLGraphicsDriver::ShareGroup()) return;
  TGLRender2DDriver::BindTexture(name);
  TGLRender2DDriver::EnableTextures();
  TGLRender2DDriver::QueueQuad(x0, y0, x1, y1, tx, ty, u0, v0, u1, v1);
}
