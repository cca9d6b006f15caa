#include "game/sample_prefetch.h"

#include <future>
#include <list>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "audio/sample.h"
#include "stream/stream.h"

namespace {

struct prefetch_entry {
  std::string path;
  // Set (under the lock) by whichever thread decodes the file: the worker, or the game
  // thread when it asks before the worker got there.
  bool claimed = false;
  // Moved out by the thread that claims the entry, so that nothing else touches it.
  std::promise<std::shared_ptr<TAudioSample>> promise;
  std::future<std::shared_ptr<TAudioSample>> future = promise.get_future();
};

class sample_prefetcher {
 public:
  sample_prefetcher() = default;
  sample_prefetcher(const sample_prefetcher&) = delete;
  sample_prefetcher& operator=(const sample_prefetcher&) = delete;

  // At exit the worker stops after the file it is decoding.
  ~sample_prefetcher() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    if (worker_.joinable()) worker_.join();
  }

  void start(const std::vector<std::string>& paths) {
    if (worker_.joinable()) worker_.join();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (const auto& path : paths) {
        entries_.emplace_back();
        entries_.back().path = path;
      }
    }
    try {
      worker_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
      // No thread to be had: each file is decoded when it is taken, as without a prefetch.
    }
  }

  std::shared_ptr<TAudioSample> take(const std::string& path) {
    std::list<prefetch_entry> taken;
    bool decode_here = true;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto found = entries_.begin();
      while (found != entries_.end() && found->path != path) ++found;
      if (found != entries_.end()) {
        // Nodes keep their address when spliced, so a worker decoding it is unaffected.
        taken.splice(taken.begin(), entries_, found);
        decode_here = !taken.front().claimed;
        taken.front().claimed = true;
      }
    }
    std::shared_ptr<TAudioSample> sample =
        decode_here ? LoadAudioSample(path) : taken.front().future.get();
    join_when_done();
    return sample;
  }

 private:
  void run() {
    for (;;) {
      std::string path;
      std::promise<std::shared_ptr<TAudioSample>> promise;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        auto next = entries_.begin();
        while (next != entries_.end() && next->claimed) ++next;
        if (next == entries_.end()) return;
        next->claimed = true;
        path = next->path;
        promise = std::move(next->promise);
      }
      try {
        promise.set_value(LoadAudioSample(path));
      } catch (...) {
        promise.set_exception(std::current_exception());
      }
    }
  }

  // Once every prefetched file has been taken the worker has nothing left to do.
  void join_when_done() {
    bool done = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done = entries_.empty();
    }
    if (done && worker_.joinable()) worker_.join();
  }

  std::mutex mutex_;
  std::list<prefetch_entry> entries_;
  bool stopping_ = false;
  std::thread worker_;
};

sample_prefetcher& prefetcher() {
  // The loader chain and the stream factories are made on their first use. Using them
  // once before the prefetcher exists makes them outlive it, so at exit the worker never
  // decodes with loaders already taken down.
  [[maybe_unused]] static const bool loaders_made = [] {
    LoadAudioSample(TBankStream::Create(std::make_shared<TBank>(), 1, 0));
    return true;
  }();
  static sample_prefetcher the_prefetcher;
  return the_prefetcher;
}

}  // namespace

void prefetch_samples(const std::vector<std::string>& paths) {
  prefetcher().start(paths);
}

std::shared_ptr<TAudioSample> take_prefetched_sample(const std::string& path) {
  return prefetcher().take(path);
}
