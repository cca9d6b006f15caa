#include "hall/verifier_pool.h"

#include <cstdio>

namespace {

// How often an idle worker looks for games, and how often games left by a hall that died
// are looked for.
constexpr std::chrono::seconds kLookAgain(2);

}  // namespace

verifier_pool::verifier_pool(hall_store& store, hall_metrics& metrics, verifier_setup setup,
                             int workers)
    : store_(store),
      metrics_(metrics),
      setup_(std::move(setup)),
      // The hall puts back what was left unfinished as it starts.
      next_requeue_(std::chrono::steady_clock::now() + kLookAgain) {
  for (int index = 0; index < workers; ++index) workers_.emplace_back([this] { work(); });
}

verifier_pool::~verifier_pool() {
  stop();
}

void verifier_pool::wake() {
  std::lock_guard lock(mutex_);
  ++wakes_;
  changed_.notify_one();
}

void verifier_pool::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    changed_.notify_all();
  }
  for (std::thread& worker : workers_)
    if (worker.joinable()) worker.join();
}

bool verifier_pool::wait_for_work() {
  std::unique_lock lock(mutex_);
  // Looking again now and then also finds games another process queued, or games put
  // back after a failure.
  changed_.wait_for(lock, kLookAgain, [this] { return stopping_ || wakes_ > 0; });
  if (wakes_ > 0) --wakes_;
  return !stopping_;
}

void verifier_pool::requeue_now_and_then() {
  {
    std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (now < next_requeue_) return;
    next_requeue_ = now + kLookAgain;
  }
  try {
    const int64_t requeued = store_.requeue_unfinished();
    if (requeued > 0)
      std::fprintf(stderr, "hall: %lld games whose verifier stopped queued again\n",
                   static_cast<long long>(requeued));
  } catch (const store_failure& failure) {
    std::fprintf(stderr, "hall: %s\n", failure.what());
  }
}

void verifier_pool::work() {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
    }
    requeue_now_and_then();
    std::optional<queued_game> game;
    try {
      game = store_.take();
    } catch (const store_failure& failure) {
      std::fprintf(stderr, "hall: %s\n", failure.what());
    }
    if (!game) {
      if (!wait_for_work()) return;
      continue;
    }
    verdict result;
    const verifier_run run = run_verifier(setup_, game->id, game->recording, result);
    try {
      if (run == verifier_run::not_started) {
        std::fprintf(stderr, "hall: game %lld waits: %s\n", static_cast<long long>(game->id),
                     result.detail.c_str());
        store_.release(game->id);
        if (!wait_for_work()) return;
        continue;
      }
      store_.finish(game->id, result);
      if (result.verified) {
        metrics_.game_verified(result.seconds);
      } else {
        metrics_.game_refused(result.reason, result.seconds);
      }
    } catch (const store_failure& failure) {
      // The store has let go of the game; the next requeue puts it back in the queue.
      std::fprintf(stderr, "hall: game %lld: %s\n", static_cast<long long>(game->id),
                   failure.what());
    }
  }
}
