#pragma once
// What the system says about the process's life beyond SDL's events: requests to close
// from outside the window (Ctrl+C, the terminal, the session ending) and the timer
// resolution. One implementation file per system (session_posix.cpp: SIGINT, SIGTERM and
// SIGHUP; session_windows.cpp: console control events, the session-end messages, a close
// asked of the hidden "VextralSession" window by another program, and 1 ms timer
// resolution).

#include <functional>

// Opens standard input, output and error on the null device where whoever started the
// process left them closed, so that no file or connection opened later takes their numbers
// (a line written to stderr would land in it). First thing in main.
void KeepStandardStreamsOpen();
// Installs the handlers. Called once, on the game thread, by the SDL system driver.
void StartSessionWatch();
// Close requests that come within this long of the first are one request: the game is
// closing. One that comes later ends the process at once (a console's Ctrl+C, a signal).
constexpr int kCloseGraceMillis = 5000;
void SetCloseGrace(int milliseconds);
// True while a close request waits; any thread.
bool CloseRequestPending();
// True once for each close request: takes it. Game thread.
bool TakeCloseRequest();
// Where the system ends the process as soon as it has been told the session ends (Windows'
// WM_ENDSESSION), the game cannot wind down by itself: handler then runs on the game thread,
// once, and saves what an exit saves; a close request follows. Empty by default.
void SetSessionEndHandler(std::function<void()> handler);
