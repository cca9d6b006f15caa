#pragma once
// Events, the hook chains they travel through, the event queue, the pump, and the
// millisecond clock. Everything here is for the main (game) thread only, except
// ClockMillis and SleepMillis, which any thread may call.

#include <cstdint>
#include <memory>
#include <string>

// Base of every reference-counted runtime object that travels through hooks and
// events (event sources, payloads, hook contexts). Always held by std::shared_ptr.
class TObject : public std::enable_shared_from_this<TObject> {
 public:
  virtual ~TObject() = default;
};

// A text payload; TEvent::ToString shows it when it is an event's extra.
class TStringObject : public TObject {
 public:
  explicit TStringObject(std::string text) : text(std::move(text)) {}
  std::string text;
};

// Event ids raised by this runtime; the others are named only for ToString.
constexpr int32_t EVENT_APPSUSPEND = 257;
constexpr int32_t EVENT_APPRESUME = 258;
constexpr int32_t EVENT_APPTERMINATE = 259;
constexpr int32_t EVENT_APPOPENFILE = 260;
constexpr int32_t EVENT_APPIDLE = 261;
constexpr int32_t EVENT_KEYDOWN = 513;
constexpr int32_t EVENT_KEYUP = 514;
constexpr int32_t EVENT_KEYCHAR = 515;
constexpr int32_t EVENT_KEYREPEAT = 516;
constexpr int32_t EVENT_MOUSEDOWN = 1025;
constexpr int32_t EVENT_MOUSEUP = 1026;
constexpr int32_t EVENT_MOUSEMOVE = 1027;
constexpr int32_t EVENT_MOUSEWHEEL = 1028;
constexpr int32_t EVENT_MOUSEENTER = 1029;
constexpr int32_t EVENT_MOUSELEAVE = 1030;
constexpr int32_t EVENT_TIMERTICK = 2049;
constexpr int32_t EVENT_GADGETACTION = 8193;
// The graphics window now shows on another display, or the displays changed (data: the
// display's index).
constexpr int32_t EVENT_WINDOWMOVE = 16385;
// The graphics window's size changed, as with a new display mode (x, y: the new size).
constexpr int32_t EVENT_WINDOWSIZE = 16386;

// Modifier mask bits carried in TEvent::mods.
constexpr int32_t MODIFIER_SHIFT = 1;
constexpr int32_t MODIFIER_CONTROL = 2;
constexpr int32_t MODIFIER_OPTION = 4;  // Alt
constexpr int32_t MODIFIER_SYSTEM = 8;  // the Windows / Super key

class TEvent : public TObject {
 public:
  int32_t id = 0;
  std::shared_ptr<TObject> source;  // a TTimer for timer ticks; null for window, key, mouse
  int32_t data = 0;                 // key code, character, button, wheel notches, tick count
  int32_t mods = 0;                 // MODIFIER_* mask at the time of the event
  int32_t x = 0;                    // pointer position in back-buffer pixels (mouse events)
  int32_t y = 0;
  std::shared_ptr<TObject> extra;  // free payload; a TStringObject is shown by ToString

  static std::shared_ptr<TEvent> Create(int32_t id, std::shared_ptr<TObject> source = nullptr,
                                        int32_t data = 0, int32_t mods = 0, int32_t x = 0,
                                        int32_t y = 0, std::shared_ptr<TObject> extra = nullptr);
  // Runs the EmitEventHook chain with this event. The event must be owned by a shared_ptr.
  void Emit();
  // "KeyDown: data=32, mods=0, x=0, y=0, extra=\"\"" and so on.
  std::string ToString() const;
  // A fresh negative id for a program's own events; the first is -2147483647.
  static int32_t AllocUserId();
};

std::shared_ptr<TEvent> CreateEvent(int32_t id, std::shared_ptr<TObject> source = nullptr,
                                    int32_t data = 0, int32_t mods = 0, int32_t x = 0,
                                    int32_t y = 0, std::shared_ptr<TObject> extra = nullptr);
// Passes event through the EmitEventHook chain (a null event is passed as null).
void EmitEvent(const std::shared_ptr<TEvent>& event);

// ---- Hook chains: 256 ids, each a list ordered by descending priority ----

// A hook gets the hook id, the data so far and its own context, and returns the data
// for the next hook (normally the data unchanged).
using THookFunction = std::shared_ptr<TObject> (*)(int32_t id, const std::shared_ptr<TObject>& data,
                                                   const std::shared_ptr<TObject>& context);

struct THook {
  THook* succ = nullptr;
  int32_t priority = 0;
  THookFunction func = nullptr;
  std::shared_ptr<TObject> context;
  // Removed while its chain was running: skipped, and freed once no run of it is left.
  bool removed = false;
};

// The next free hook id (0..255); throws std::runtime_error("Too many hook ids") past 255.
int32_t AllocHookId();
// Inserts after every hook of that chain whose priority is >= priority. Ids outside 0..255
// are ignored.
void AddHook(int32_t id, THookFunction func, std::shared_ptr<TObject> context = nullptr,
             int32_t priority = 0);
// Unlinks the first hook with the same function and context; nothing if none matches.
void RemoveHook(int32_t id, THookFunction func, const std::shared_ptr<TObject>& context = nullptr);
// Calls each hook in chain order, passing each result on; returns the final data. A hook may
// add or remove any hook, itself included, and run chains again: a removed hook is not
// called any more; a hook added further down the chain than the running hook's successor
// is reached by this run, one added before that waits for the next run.
std::shared_ptr<TObject> RunHooks(int32_t id, std::shared_ptr<TObject> data);

// The hook id through which every emitted TEvent travels. Polled input sits on it at
// priority 0, the event queue at -10000.
extern const int32_t EmitEventHook;

// ---- Clock and sleep (any thread) ----

// Milliseconds since an arbitrary start; wraps at 2^32, so compare differences.
int32_t ClockMillis();
// Sleeps the calling thread; a negative or zero ms returns at once.
void SleepMillis(int32_t ms);

// ---- Pump (main thread) ----

// Drains the system driver's queue without waiting, emitting an event per message.
// A nested call from inside a hook returns at once.
void PumpEvents();
// Blocks until something arrives, then drains like PumpEvents. Same nesting guard.
void WaitForEvents();

// ---- Event queue: the last hook on EmitEventHook keeps up to 256 events ----

// Appends event (dropped when 256 are queued). With update set, a queued event of the same
// id and source is overwritten in place instead.
void PostEvent(const std::shared_ptr<TEvent>& event, int32_t update = 0);
// Pumps once if empty; removes the oldest event, makes it current and returns its id,
// or makes the empty event (id 0) current and returns 0.
int32_t PollEvent();
// Waits until an event is queued, then as PollEvent.
int32_t WaitEvent();
// Pumps once if empty; the oldest event without removing it, or null.
std::shared_ptr<TEvent> PeekEvent();
// Removes every queued event without touching the current one.
void FlushEvents();

// The current event (never null; the empty event has id 0) and its fields.
std::shared_ptr<TEvent> CurrentEvent();
int32_t EventID();
int32_t EventData();
int32_t EventMods();
int32_t EventX();
int32_t EventY();
std::shared_ptr<TObject> EventExtra();
// The extra as text when it is a TStringObject, else "".
std::string EventText();
std::shared_ptr<TObject> EventSource();
