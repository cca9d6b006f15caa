#pragma once
// Worker threads that take queued games from the store one at a time and verify each in a
// child process (hall/verifier_process.h), keeping every verdict. Now and then one of them
// also puts back games whose taker is gone (another hall on the same database that died).

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "hall/metrics.h"
#include "hall/store.h"
#include "hall/verifier_process.h"

class verifier_pool {
 public:
  verifier_pool(hall_store& store, hall_metrics& metrics, verifier_setup setup, int workers);
  ~verifier_pool();  // stops
  verifier_pool(const verifier_pool&) = delete;
  verifier_pool& operator=(const verifier_pool&) = delete;

  // A game was queued: a waiting worker takes it now rather than at its next look.
  void wake();
  // Lets each worker finish its verification, then joins them.
  void stop();

 private:
  void work();
  // Waits until woken, stopping or a while has passed; false when stopping.
  bool wait_for_work();
  // The store's requeue_unfinished, when a while has passed since the last.
  void requeue_now_and_then();

  hall_store& store_;
  hall_metrics& metrics_;
  verifier_setup setup_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stopping_ = false;
  int wakes_ = 0;
  std::chrono::steady_clock::time_point next_requeue_;
  std::vector<std::thread> workers_;
};
