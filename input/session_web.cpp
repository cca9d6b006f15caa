// A page has no signals and no session to watch: the browser closes it without asking the
// game, which keeps its files as it goes instead (see the web build's start-up).

#include "input/session.h"

void KeepStandardStreamsOpen() {}

void StartSessionWatch() {}

bool CloseRequestPending() {
  return false;
}

bool TakeCloseRequest() {
  return false;
}

void SetSessionEndHandler(std::function<void()>) {}

void SetCloseGrace(int) {}
