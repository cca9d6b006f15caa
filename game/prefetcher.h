#pragma once
// Loads a list of files on one background thread ahead of their first use. Each file is
// taken once by the game thread: waited for if the worker is loading it, loaded on the game
// thread if the worker has not reached it (so the two share the work). Internal to the
// game's start-up prefetches; the load function must be safe to run beside the game thread.

#include <functional>
#include <future>
#include <list>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

template <typename Result>
class prefetcher {
 public:
  using load_function = std::function<Result(const std::string& path)>;

  explicit prefetcher(load_function load) : load_(std::move(load)) {}
  prefetcher(const prefetcher&) = delete;
  prefetcher& operator=(const prefetcher&) = delete;

  // At exit the worker stops after the file it is loading.
  ~prefetcher() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    if (worker_.joinable()) worker_.join();
  }

  // Waits until the worker has loaded every path it was given.
  void wait() {
    if (worker_.joinable()) worker_.join();
  }

  // Starts loading paths in order; an earlier list still being loaded is waited for first.
  void start(const std::vector<std::string>& paths) {
    wait();
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
      // No thread to be had: each file is loaded when it is taken, as without a prefetch.
    }
  }

  // The result for path; the load function's exceptions are passed on. A path not
  // prefetched (or already taken) is loaded here.
  Result take(const std::string& path) {
    std::list<entry> taken;
    bool load_here = true;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto found = entries_.begin();
      while (found != entries_.end() && found->path != path) ++found;
      if (found != entries_.end()) {
        // Nodes keep their address when spliced, so a worker loading it is unaffected.
        taken.splice(taken.begin(), entries_, found);
        load_here = !taken.front().claimed;
        taken.front().claimed = true;
      }
    }
    Result result = load_here ? load_(path) : taken.front().future.get();
    join_when_done();
    return result;
  }

 private:
  struct entry {
    std::string path;
    // Set (under the lock) by whichever thread loads the file: the worker, or the game
    // thread when it asks before the worker got there.
    bool claimed = false;
    // Moved out by the thread that claims the entry, so that nothing else touches it.
    std::promise<Result> promise;
    std::future<Result> future = promise.get_future();
  };

  void run() {
    for (;;) {
      std::string path;
      std::promise<Result> promise;
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
        promise.set_value(load_(path));
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

  load_function load_;
  std::mutex mutex_;
  std::list<entry> entries_;
  bool stopping_ = false;
  std::thread worker_;
};
