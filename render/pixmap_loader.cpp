// The pixmap loader chain and LoadPixmap.

#include <cstdio>

#include "render/pixmap.h"
#include "stream/stream.h"

namespace {

TPixmapLoader*& ChainHead() {
  static TPixmapLoader* head = nullptr;
  return head;
}

// The PNG loader is registered before any other loader is, so loaders made later (by tests or
// other modules) are asked first, as the chain order promises.
void RegisterBuiltInLoaders() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  static TPixmapLoaderPNG png_loader;
}

}  // namespace

TPixmapLoader::TPixmapLoader() {
  RegisterBuiltInLoaders();
  _succ = ChainHead();
  ChainHead() = this;
}

TPixmapLoader::~TPixmapLoader() {
  for (TPixmapLoader** link = &ChainHead(); *link != nullptr; link = &(*link)->_succ) {
    if (*link == this) {
      *link = _succ;
      break;
    }
  }
}

TPixmapLoader* TPixmapLoader::Head() {
  RegisterBuiltInLoaders();
  return ChainHead();
}

std::shared_ptr<TPixmap> LoadPixmap(const std::shared_ptr<TStream>& stream) {
  if (!stream) return nullptr;
  const int64_t start = stream->Pos();
  if (start < 0) return nullptr;
  for (TPixmapLoader* loader = TPixmapLoader::Head(); loader != nullptr; loader = loader->_succ) {
    if (stream->Seek(start) != start) return nullptr;
    std::shared_ptr<TPixmap> pixmap;
    try {
      pixmap = loader->LoadPixmap(stream);
    } catch (const TStreamException&) {
      pixmap = nullptr;  // a truncated file: let the next loader try
    }
    if (pixmap) return pixmap;
  }
  return nullptr;
}

std::shared_ptr<TPixmap> LoadPixmap(const std::string& url) {
  std::shared_ptr<TStream> stream = StreamOpen(url, 1, 0);
  if (!stream) return nullptr;
  std::shared_ptr<TPixmap> pixmap;
  try {
    pixmap = LoadPixmap(stream);
  } catch (...) {
    stream->Close();
    throw;
  }
  stream->Close();
  return pixmap;
}
