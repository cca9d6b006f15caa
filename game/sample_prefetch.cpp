#include "game/sample_prefetch.h"

#include "audio/sample.h"
#include "game/prefetcher.h"
#include "stream/stream.h"

namespace {

using sample_pointer = std::shared_ptr<TAudioSample>;

prefetcher<sample_pointer>& samples() {
  // The loader chain and the stream factories are made on their first use. Using them
  // once before the prefetcher exists makes them outlive it, so at exit the worker never
  // decodes with loaders already taken down.
  [[maybe_unused]] static const bool loaders_made = [] {
    LoadAudioSample(TBankStream::Create(std::make_shared<TBank>(), 1, 0));
    return true;
  }();
  static prefetcher<sample_pointer> the_prefetcher(
      [](const std::string& path) { return LoadAudioSample(path); });
  return the_prefetcher;
}

}  // namespace

void prefetch_samples(const std::vector<std::string>& paths) {
  samples().start(paths);
}

std::shared_ptr<TAudioSample> take_prefetched_sample(const std::string& path) {
  return samples().take(path);
}
