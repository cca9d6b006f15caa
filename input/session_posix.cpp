#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>

#include "input/session.h"

namespace {

volatile std::sig_atomic_t close_signal_pending = 0;
// When the first close signal came (milliseconds on the monotonic clock), -1 before it.
std::atomic<int64_t> first_close_signal{-1};
std::atomic<int> close_grace_millis{kCloseGraceMillis};
static_assert(std::atomic<int64_t>::is_always_lock_free, "read from a signal handler");

int64_t MonotonicMillis() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);  // async-signal-safe
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Closing a terminal sends SIGHUP more than once in a millisecond, and a logout may send
// SIGHUP then SIGTERM: every signal within the grace of the first is the same request.
// One that comes later means the game is not listening (hung, or stuck on its way out):
// then the signal ends the process as it normally would.
void RecordCloseSignal(int signal_number) {
  const int saved_errno = errno;
  const int64_t now = MonotonicMillis();
  int64_t first = -1;
  if (!first_close_signal.compare_exchange_strong(first, now) &&
      now - first >= close_grace_millis.load()) {
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
  }
  close_signal_pending = 1;
  errno = saved_errno;
}

}  // namespace

void KeepStandardStreamsOpen() {
  for (int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (fcntl(stream, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number is the closed stream's own.
    const int null_device = open("/dev/null", stream == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (null_device != -1 && null_device != stream) {
      dup2(null_device, stream);
      close(null_device);
    }
  }
}

void StartSessionWatch() {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction previous {};
    sigaction(signal_number, nullptr, &previous);
    // A signal the parent chose to ignore (nohup, background jobs) stays ignored.
    if (previous.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = RecordCloseSignal;
    sigemptyset(&action.sa_mask);
    // The other close signals wait while one is recorded.
    for (int other : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, other);
    sigaction(signal_number, &action, nullptr);
  }
}

bool CloseRequestPending() {
  return close_signal_pending != 0;
}

bool TakeCloseRequest() {
  if (!close_signal_pending) return false;
  close_signal_pending = 0;
  return true;
}

void SetCloseGrace(int milliseconds) {
  close_grace_millis = milliseconds;
}

// A signal ends the session here: the game winds down through its close request.
void SetSessionEndHandler(std::function<void()>) {}
