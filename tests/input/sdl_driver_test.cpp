// The SDL system driver, fed real SDL events through SDL's own queue (dummy video driver,
// no display), read back through the event queue and the polled-input queries.

#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include "input/input.h"
#include "input/system.h"

namespace {

void PushKey(Uint32 type, SDL_Scancode scancode, SDL_Keycode sym, Uint8 repeat = 0,
             Uint16 mods = KMOD_NONE) {
  SDL_Event event{};
  event.type = type;
  event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  event.key.repeat = repeat;
  event.key.keysym.scancode = scancode;
  event.key.keysym.sym = sym;
  event.key.keysym.mod = mods;
  SDL_PushEvent(&event);
}

void PushWindowEvent(Uint8 what, Sint32 data1 = 0, Sint32 data2 = 0) {
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.event = what;
  event.window.data1 = data1;
  event.window.data2 = data2;
  SDL_PushEvent(&event);
}

void PushMotion(int32_t x, int32_t y) {
  SDL_Event event{};
  event.type = SDL_MOUSEMOTION;
  event.motion.x = x;
  event.motion.y = y;
  SDL_PushEvent(&event);
}

void PushButton(Uint32 type, Uint8 button, int32_t x, int32_t y) {
  SDL_Event event{};
  event.type = type;
  event.button.button = button;
  event.button.x = x;
  event.button.y = y;
  SDL_PushEvent(&event);
}

void PushWheel(int32_t notches, Uint32 direction = SDL_MOUSEWHEEL_NORMAL) {
  SDL_Event event{};
  event.type = SDL_MOUSEWHEEL;
  event.wheel.y = notches;
  event.wheel.direction = direction;
  SDL_PushEvent(&event);
}

void PushText(const char* text) {
  SDL_Event event{};
  event.type = SDL_TEXTINPUT;
  SDL_strlcpy(event.text.text, text, sizeof(event.text.text));
  SDL_PushEvent(&event);
}

// Every event the pump emitted, oldest first, read from the event queue.
std::vector<std::shared_ptr<TEvent>> Emitted() {
  std::vector<std::shared_ptr<TEvent>> events;
  PumpEvents();
  while (PollEvent() != 0) events.push_back(CurrentEvent());
  return events;
}

class SdlDriverTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { SDL_setenv("SDL_VIDEODRIVER", "dummy", 0); }
  void SetUp() override {
    SetSystemDriver(nullptr);
    ASSERT_NE(SystemDriver(), nullptr);
    EnableInputPolling();
    PumpEvents();
    FlushEvents();
  }
  void TearDown() override {
    DisableInputPolling();
    SetPointerMapping(nullptr);
    PumpEvents();
    FlushEvents();
  }
};

TEST_F(SdlDriverTest, KeyPressRepeatAndReleaseBecomeDownRepeatUp) {
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE);
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE, 1);
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE, 1);
  PushKey(SDL_KEYUP, SDL_SCANCODE_SPACE, SDLK_SPACE);
  auto events = Emitted();
  std::vector<int32_t> ids;
  for (auto& event : events) {
    ids.push_back(event->id);
    EXPECT_EQ(event->data, 32);
  }
  EXPECT_EQ(ids, (std::vector<int32_t>{513, 516, 516, 514}));
}

TEST_F(SdlDriverTest, HeldSpaceIsOneHit) {
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE);
  for (int i = 0; i < 60; ++i) PushKey(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE, 1);
  EXPECT_EQ(KeyHits(32), 1);
  EXPECT_EQ(KeyHits(32), 0);
  EXPECT_EQ(KeyIsDown(32), 1);
}

TEST_F(SdlDriverTest, LeftAndRightModifiersHaveTheirOwnCodes) {
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_RCTRL, SDLK_RCTRL, 0, KMOD_RCTRL);
  EXPECT_EQ(KeyHits(162), 0);
  EXPECT_EQ(KeyHits(163), 1);
  FlushEvents();
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_LALT, SDLK_LALT, 0, KMOD_LALT);
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_LCTRL, SDLK_LCTRL, 0, KMOD_LALT | KMOD_LCTRL);
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, 0, KMOD_LSHIFT);
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, 0, KMOD_RSHIFT);
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_RALT, SDLK_RALT, 0, KMOD_RALT | KMOD_LGUI);
  auto events = Emitted();
  ASSERT_EQ(events.size(), 5u);
  EXPECT_EQ(events[0]->data, 164);
  EXPECT_EQ(events[0]->mods, MODIFIER_OPTION);
  EXPECT_EQ(events[1]->data, 162);
  EXPECT_EQ(events[1]->mods, MODIFIER_OPTION | MODIFIER_CONTROL);
  EXPECT_EQ(events[2]->data, 160);
  EXPECT_EQ(events[2]->mods, MODIFIER_SHIFT);
  EXPECT_EQ(events[3]->data, 161);
  EXPECT_EQ(events[4]->data, 165);
  EXPECT_EQ(events[4]->mods, MODIFIER_OPTION | MODIFIER_SYSTEM);
}

TEST_F(SdlDriverTest, KeysWithoutACodeAndUnknownEventsEmitNothing) {
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_UNKNOWN, SDLK_UNKNOWN);
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_KBDILLUMUP, SDLK_KBDILLUMUP);
  SDL_Event event{};
  event.type = SDL_CLIPBOARDUPDATE;
  SDL_PushEvent(&event);
  event.type = SDL_USEREVENT + 4000;
  SDL_PushEvent(&event);
  PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1, 1, 1);
  PushWheel(0);
  EXPECT_TRUE(Emitted().empty());
}

TEST_F(SdlDriverTest, KeyTableCoversTheCommonKeys) {
  struct Case {
    SDL_Scancode scancode;
    SDL_Keycode sym;
    int32_t code;
  };
  const Case cases[] = {
      {SDL_SCANCODE_A, SDLK_a, 65},
      {SDL_SCANCODE_Z, SDLK_z, 90},
      {SDL_SCANCODE_Q, SDLK_a, 65},  // layout decides letters
      {SDL_SCANCODE_W, 0x0446, 87},  // a non-Latin layout falls back to the key's place
      {SDL_SCANCODE_0, SDLK_0, 48},
      {SDL_SCANCODE_9, SDLK_9, 57},
      {SDL_SCANCODE_F1, SDLK_F1, 112},
      {SDL_SCANCODE_F12, SDLK_F12, 123},
      {SDL_SCANCODE_F13, SDLK_F13, 124},
      {SDL_SCANCODE_LEFT, SDLK_LEFT, 37},
      {SDL_SCANCODE_UP, SDLK_UP, 38},
      {SDL_SCANCODE_RIGHT, SDLK_RIGHT, 39},
      {SDL_SCANCODE_DOWN, SDLK_DOWN, 40},
      {SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, 27},
      {SDL_SCANCODE_SPACE, SDLK_SPACE, 32},
      {SDL_SCANCODE_RETURN, SDLK_RETURN, 13},
      {SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, 8},
      {SDL_SCANCODE_TAB, SDLK_TAB, 9},
      {SDL_SCANCODE_KP_5, SDLK_KP_5, 101},
      {SDL_SCANCODE_DELETE, SDLK_DELETE, 46},
      {SDL_SCANCODE_PAGEDOWN, SDLK_PAGEDOWN, 34},
      {SDL_SCANCODE_SEMICOLON, SDLK_SEMICOLON, 186},
      {SDL_SCANCODE_APOSTROPHE, SDLK_QUOTE, 222},
      {SDL_SCANCODE_PAUSE, SDLK_PAUSE, 19},
  };
  for (const Case& key : cases) {
    EXPECT_EQ(VirtualKeyFromSDL(key.scancode, key.sym), key.code)
        << SDL_GetScancodeName(key.scancode);
  }
  EXPECT_EQ(VirtualKeyFromSDL(-1, 0), 0);
  EXPECT_EQ(VirtualKeyFromSDL(SDL_NUM_SCANCODES + 5, 0), 0);
}

TEST_F(SdlDriverTest, CloseRequestIsReadOnceAndQuitToo) {
  PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
  EXPECT_EQ(CloseRequested(), 1);
  EXPECT_EQ(CloseRequested(), 0);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  EXPECT_EQ(CloseRequested(), 1);
}

TEST_F(SdlDriverTest, FocusLossSuspendsAndClearsHeldKeys) {
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_LEFT, SDLK_LEFT);
  EXPECT_EQ(KeyIsDown(37), 1);
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
  EXPECT_EQ(KeyIsDown(37), 0);
  EXPECT_EQ(IsSuspended(), 1);
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
  EXPECT_EQ(IsSuspended(), 0);
}

// Some systems minimise a window and leave it the focus: the game waits all the same, until
// the window is back and has the focus.
TEST_F(SdlDriverTest, MinimisingSuspendsTooEvenWithTheFocusKept) {
  PushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
  EXPECT_EQ(IsSuspended(), 1);
  PushWindowEvent(SDL_WINDOWEVENT_RESTORED);
  EXPECT_EQ(IsSuspended(), 0);

  // Minimised, then the focus lost and found again while still minimised.
  PushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
  EXPECT_EQ(IsSuspended(), 1);
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
  PushWindowEvent(SDL_WINDOWEVENT_RESTORED);
  EXPECT_EQ(IsSuspended(), 1);
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
  EXPECT_EQ(IsSuspended(), 0);
}

TEST_F(SdlDriverTest, AWindowsFirstFocusKeepsAKeyPressedAsItAppeared) {
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
  EXPECT_EQ(KeyHits(27), 1);
  EXPECT_EQ(IsSuspended(), 0);
}

// Copies: the queue updates a queued event in place when its like comes again.
std::vector<TEvent> hooked_events;

std::shared_ptr<TObject> RecordEvent(int32_t, const std::shared_ptr<TObject>& data,
                                     const std::shared_ptr<TObject>&) {
  if (auto event = std::dynamic_pointer_cast<TEvent>(data)) hooked_events.push_back(*event);
  return data;
}

// What the graphics module probes the display again after: a move to another monitor, a
// monitor that came or went, and a new window size (a new display mode). Read from the hook
// chain, where the graphics module listens: the queue keeps only the latest of each.
TEST_F(SdlDriverTest, DisplayAndModeChangesBecomeWindowMoveAndSize) {
  PushWindowEvent(SDL_WINDOWEVENT_DISPLAY_CHANGED, 1);
  SDL_Event display{};
  display.type = SDL_DISPLAYEVENT;
  display.display.event = SDL_DISPLAYEVENT_CONNECTED;
  display.display.display = 2;
  SDL_PushEvent(&display);
  PushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 1920, 1080);
  PushWindowEvent(SDL_WINDOWEVENT_MOVED, 10, 10);  // a plain move keeps its display
  hooked_events.clear();
  AddHook(EmitEventHook, RecordEvent);
  PumpEvents();
  RemoveHook(EmitEventHook, RecordEvent);
  ASSERT_EQ(hooked_events.size(), 3u);
  EXPECT_EQ(hooked_events[0].id, EVENT_WINDOWMOVE);
  EXPECT_EQ(hooked_events[0].data, 1);
  EXPECT_EQ(hooked_events[1].id, EVENT_WINDOWMOVE);
  EXPECT_EQ(hooked_events[1].data, 2);
  EXPECT_EQ(hooked_events[2].id, EVENT_WINDOWSIZE);
  EXPECT_EQ(hooked_events[2].x, 1920);
  EXPECT_EQ(hooked_events[2].y, 1080);
}

TEST_F(SdlDriverTest, TextBecomesOneCharacterEachAndControlKeysTypeToo) {
  PushText("a\xC3\xA9\xE2\x82\xAC");  // a, e-acute, euro sign
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_RETURN, SDLK_RETURN);
  EXPECT_EQ(NextChar(), 'a');
  EXPECT_EQ(NextChar(), 0xE9);
  EXPECT_EQ(NextChar(), 0x20AC);
  EXPECT_EQ(NextChar(), 13);
  EXPECT_EQ(NextChar(), 0);
  PushText("\xFF\x80z");  // malformed bytes are skipped
  EXPECT_EQ(NextChar(), 'z');
}

TEST_F(SdlDriverTest, ButtonsAndWheel) {
  PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 20);
  PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 10, 20);
  PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 10, 20);
  PushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 10, 20);
  PushWheel(-2);
  PushWheel(3, SDL_MOUSEWHEEL_FLIPPED);
  auto events = Emitted();
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(events[0]->id, EVENT_MOUSEDOWN);
  EXPECT_EQ(events[0]->data, 1);
  EXPECT_EQ(events[0]->x, 10);
  EXPECT_EQ(events[0]->y, 20);
  EXPECT_EQ(events[1]->data, 2);
  EXPECT_EQ(events[2]->data, 3);
  EXPECT_EQ(events[3]->id, EVENT_MOUSEUP);
  EXPECT_EQ(events[4]->id, EVENT_MOUSEWHEEL);
  EXPECT_EQ(events[4]->data, -2);
  EXPECT_EQ(events[5]->data, -3);
}

TEST_F(SdlDriverTest, PointerEntersAndLeavesTheBackBuffer) {
  PushMotion(100, 100);
  PushMotion(700, 100);  // beyond 640: outside
  PushMotion(639, 479);
  auto events = Emitted();
  std::vector<int32_t> ids;
  for (auto& event : events) ids.push_back(event->id);
  EXPECT_EQ(ids, (std::vector<int32_t>{1029, 1027, 1030, 1027, 1029, 1027}));
  EXPECT_EQ(PointerX(), 639);
  EXPECT_EQ(PointerY(), 479);
}

class LetterboxTest : public SdlDriverTest {
 protected:
  SDL_Window* window = nullptr;
  void SetUp() override {
    SdlDriverTest::SetUp();
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    window = SDL_CreateWindow("letterbox", 0, 0, 1920, 1080, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    // 640 x 480 scaled by 2.25 is 1440 x 1080, centred with 240-pixel bars.
    SetPointerMapping(window, 2.25f, 240, 0);
  }
  void TearDown() override {
    SetPointerMapping(nullptr);
    if (window != nullptr) SDL_DestroyWindow(window);
    SdlDriverTest::TearDown();
  }
};

TEST_F(LetterboxTest, WindowPositionsMapBackToBackBufferPixels) {
  PushMotion(240 + 225, 450);
  EXPECT_EQ(PointerX(), 100);
  EXPECT_EQ(PointerY(), 200);
  FlushEvents();
  PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 1679, 1079);
  PushMotion(100, 10);  // in the left bar
  auto events = Emitted();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0]->x, 639);
  EXPECT_EQ(events[0]->y, 479);
  EXPECT_EQ(events[1]->id, EVENT_MOUSELEAVE);
  EXPECT_LT(events[1]->x, 0);
}

TEST_F(LetterboxTest, MoveMouseLandsOnTheSamePixel) {
  for (int32_t x : {0, 1, 7, 320, 639}) {
    MoveMouse(x, 479 - x / 2);
    ASSERT_EQ(PointerX(), x);
    ASSERT_EQ(PointerY(), 479 - x / 2);
  }
}

TEST_F(LetterboxTest, HiddenPointerIsHiddenOnlyOverTheBackBuffer) {
  PushMotion(960, 540);
  PumpEvents();
  HidePointer();
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  PushMotion(10, 540);  // into the bar: outside the back buffer
  PumpEvents();
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
  PushMotion(960, 540);
  PumpEvents();
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  ShowPointer();
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
}

TEST_F(SdlDriverTest, WaitForKeyWakesWhenAnotherThreadPushesAKey) {
  std::thread typist([] {
    SDL_Delay(30);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_B, SDLK_b);
  });
  EXPECT_EQ(WaitForKey(), 66);
  typist.join();
}

}  // namespace
