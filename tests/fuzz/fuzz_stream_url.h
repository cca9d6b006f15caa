#pragma once
// Serves the current fuzz input under the url "fuzz::input", so that loaders which open urls
// (fonts, whole texts) read the input through the ordinary stream layer.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "stream/stream.h"

class fuzz_input_factory : public TStreamFactory {
 public:
  std::shared_ptr<TStream> CreateStream(const std::string&, const std::string& protocol,
                                        const std::string&, int32_t readable,
                                        int32_t writeable) override {
    if (protocol != "fuzz" || writeable || !readable) return nullptr;
    return TRamStream::Create(data, static_cast<int64_t>(size), 1, 0);
  }

  const uint8_t* data = nullptr;
  size_t size = 0;
};

// The one factory, made on first use and kept for the whole run.
inline fuzz_input_factory& fuzz_input() {
  static fuzz_input_factory* factory = new fuzz_input_factory;
  return *factory;
}
