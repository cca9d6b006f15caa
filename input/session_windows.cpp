#include <windows.h>

#include <atomic>
#include <utility>

#include "input/session.h"

namespace {

std::atomic<bool> close_pending{false};
// When the first Ctrl+C or Ctrl+Break came (GetTickCount64), 0 before it.
std::atomic<ULONGLONG> first_interrupt{0};
std::atomic<int> close_grace_millis{kCloseGraceMillis};
std::function<void()> session_end_handler;
bool session_end_handled = false;

// Windows ends the process when a console handler returns from a close, logoff or
// shutdown event: the handler waits that long for the game to save and exit by itself,
// which ends this thread too (Windows itself waits 5 s).
constexpr DWORD kConsoleCloseGrace = 4500;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: {
      // Every interrupt within the grace of the first is the same request; a later one
      // means the game is not listening, and the default handling ends the process.
      const ULONGLONG now = GetTickCount64();
      ULONGLONG first = 0;
      if (!first_interrupt.compare_exchange_strong(first, now) &&
          now - first >= static_cast<ULONGLONG>(close_grace_millis.load()))
        return FALSE;
      close_pending = true;
      return TRUE;
    }
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      close_pending = true;
      Sleep(kConsoleCloseGrace);
      return TRUE;
    default:
      return FALSE;
  }
}

void RunSessionEndHandler() {
  if (session_end_handled || !session_end_handler) return;
  session_end_handled = true;
  session_end_handler();
}

// A hidden top-level window of the game thread hears the session end (a message-only
// window would not): SDL's pump dispatches its messages with the game window's.
LRESULT CALLBACK SessionWindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CLOSE:
      // Another program asks the game to close (the uninstaller does): it winds down as a
      // close of its own window would, saving on the way out.
      close_pending = true;
      return 0;
    case WM_QUERYENDSESSION:
      // Logoff may go ahead; another program may still cancel it, so the game plays on.
      return TRUE;
    case WM_ENDSESSION:
      if (wparam) {
        // Once this returns the process may end at any moment: save first, then wind
        // down as a close would, should Windows leave time for it.
        RunSessionEndHandler();
        close_pending = true;
      }
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

void CreateSessionWindow() {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = SessionWindowProcedure;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"VextralSession";
  RegisterClassW(&window_class);
  CreateWindowExW(0, window_class.lpszClassName, L"Vextral", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                  nullptr, window_class.hInstance, nullptr);
}

}  // namespace

// Windows hands out files and connections as handles, never in the C library's stream
// numbers: a closed stream cannot be taken by one.
void KeepStandardStreamsOpen() {}

void StartSessionWatch() {
  // Sleeps and timers then wake within a millisecond, as the pacing needs; Windows drops
  // the request when the process ends.
  timeBeginPeriod(1);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  CreateSessionWindow();
}

bool CloseRequestPending() {
  return close_pending;
}

bool TakeCloseRequest() {
  return close_pending.exchange(false);
}

void SetCloseGrace(int milliseconds) {
  close_grace_millis = milliseconds;
}

void SetSessionEndHandler(std::function<void()> handler) {
  session_end_handler = std::move(handler);
  session_end_handled = false;
}
