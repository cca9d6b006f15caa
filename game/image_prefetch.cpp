#include "game/image_prefetch.h"

#include "game/prefetcher.h"
#include "render/image.h"
#include "render/image_frame.h"
#include "render/pixmap.h"

namespace {

struct decoded_image {
  std::shared_ptr<TPixmap> pixmap;
  // The pixmap with the mask applied, for an image that masks with mask_colour; none when
  // the pixmap has alpha of its own, which no mask replaces.
  std::shared_ptr<TPixmap> masked;
  int32_t mask_red = 0, mask_green = 0, mask_blue = 0;
};

struct prefetch_state {
  // Written by prefetch_images before the worker starts, read only afterwards.
  int32_t mask_red = 0, mask_green = 0, mask_blue = 0;
};

prefetch_state& state() {
  static prefetch_state the_state;
  return the_state;
}

decoded_image decode(const std::string& url, int32_t red, int32_t green, int32_t blue) {
  decoded_image decoded;
  decoded.pixmap = LoadPixmap(url);
  decoded.mask_red = red;
  decoded.mask_green = green;
  decoded.mask_blue = blue;
  if (decoded.pixmap && AlphaBits(decoded.pixmap->format) == 0) {
    decoded.masked = MaskPixmap(decoded.pixmap, red, green, blue);
  }
  return decoded;
}

prefetcher<decoded_image>& images() {
  // The loader chain is made on its first use: made here, before the worker can race the
  // game thread to it, it also outlives the prefetcher.
  [[maybe_unused]] static const bool loaders_made = [] {
    TPixmapLoader::Head();
    return true;
  }();
  static prefetcher<decoded_image> the_prefetcher([](const std::string& url) {
    const prefetch_state& s = state();
    return decode(url, s.mask_red, s.mask_green, s.mask_blue);
  });
  return the_prefetcher;
}

}  // namespace

void prefetch_images(const std::vector<std::string>& urls, int32_t red, int32_t green,
                     int32_t blue) {
  prefetcher<decoded_image>& prefetch = images();
  prefetch.wait();  // the worker reads the mask colour
  prefetch_state& s = state();
  s.mask_red = red;
  s.mask_green = green;
  s.mask_blue = blue;
  prefetch.start(urls);
}

std::shared_ptr<TImage> load_prefetched_image(const std::string& url) {
  const decoded_image decoded = images().take(url);
  int32_t red = 0, green = 0, blue = 0;
  GetMaskColor(red, green, blue);
  const bool masks = (GetDefaultImageFlags() & IMAGE_MASKED) != 0;
  // An image keeps a pixmap that has alpha as it is, so the one masked ahead loads exactly
  // as the plain one would be masked now.
  if (masks && decoded.masked && red == decoded.mask_red && green == decoded.mask_green &&
      blue == decoded.mask_blue) {
    return LoadImage(decoded.masked);
  }
  return LoadImage(decoded.pixmap);
}
