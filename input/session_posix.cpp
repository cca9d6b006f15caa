#include <csignal>

#include "input/session.h"

namespace {

volatile std::sig_atomic_t close_signal_pending = 0;

// A second signal before the pump took the first means the game is not listening (hung,
// or busy outside its loop): then the signal ends the process as it normally would.
void RecordCloseSignal(int signal_number) {
  if (close_signal_pending) {
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
    return;
  }
  close_signal_pending = 1;
}

}  // namespace

void StartSessionWatch() {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction previous {};
    sigaction(signal_number, nullptr, &previous);
    // A signal the parent chose to ignore (nohup, background jobs) stays ignored.
    if (previous.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = RecordCloseSignal;
    sigemptyset(&action.sa_mask);
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

// A signal ends the session here: the game winds down through its close request.
void SetSessionEndHandler(std::function<void()>) {}
