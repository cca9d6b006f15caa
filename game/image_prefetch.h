#pragma once
// Decodes embedded images on one background thread while start-up opens the display, and
// builds their masks for the mask colour the game loads them with. An image loaded through
// here is exactly what LoadImage gives for the same url with the settings current at the
// call. Game thread only (the worker thread touches nothing but the pixmaps it decodes).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TImage;

// Starts decoding the urls (as LoadPixmap takes them) in order on a background thread, each
// masked ahead for the mask colour (red, green, blue). A call while an earlier list is
// still being decoded first waits for that list to be decoded.
void prefetch_images(const std::vector<std::string>& urls, int32_t red, int32_t green,
                     int32_t blue);

// LoadImage (url) with the default flags: from the prefetch when url was prefetched and not
// taken yet (waited for if the worker is decoding it), loaded directly otherwise.
std::shared_ptr<TImage> load_prefetched_image(const std::string& url);
