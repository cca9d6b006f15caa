// Events, hook chains, the clock and the pump guard.

#include "input/event.h"

#include <stdexcept>

#include "input/internal.h"
#include "input/system.h"

namespace {

constexpr int32_t kHookIdCount = 256;

struct HookChain {
  THook* first = nullptr;
  int32_t runs = 0;          // RunHooks calls of this chain in progress (nested ones too)
  bool has_removed = false;  // some hook was removed during a run and is still linked
};

// Every chain starts empty; the counter starts at -1 so the first id handed out is 0.
constinit HookChain hook_chains[kHookIdCount] = {};
constinit int32_t last_hook_id = -1;

constinit int32_t last_user_id = INT32_MIN;

constinit bool pumping = false;

struct EventName {
  int32_t id;
  const char* name;
};

constexpr EventName kEventNames[] = {
    {257, "AppSuspend"},     {258, "AppResume"},        {259, "AppTerminate"},
    {260, "AppOpenFile"},    {261, "AppIdle"},          {513, "KeyDown"},
    {514, "KeyUp"},          {515, "KeyChar"},          {516, "KeyRepeat"},
    {1025, "MouseDown"},     {1026, "MouseUp"},         {1027, "MouseMove"},
    {1028, "MouseWheel"},    {1029, "MouseEnter"},      {1030, "MouseLeave"},
    {2049, "TimerTick"},     {8193, "GadgetAction"},    {8194, "GadgetPaint"},
    {8195, "GadgetSelect"},  {8196, "GadgetMenu"},      {8197, "GadgetOpen"},
    {8198, "GadgetClose"},   {8199, "GadgetDone"},      {8200, "GadgetLostFocus"},
    {8201, "GadgetShape"},   {16385, "WindowMove"},     {16386, "WindowSize"},
    {16387, "WindowClose"},  {16388, "WindowActivate"}, {16389, "WindowAccept"},
    {32769, "MenuAction"},   {65537, "StreamEof"},      {65538, "StreamAvail"},
    {131073, "ProcessExit"},
};

// The event module allocates its hook id first and the queue hangs on it from the
// start, so every event emitted by anyone is queued.
int32_t StartEventModule() {
  return AllocHookId();
}

}  // namespace

const int32_t EmitEventHook = StartEventModule();

namespace {
// Runs after EmitEventHook is set: initialisers of one file run in order.
[[maybe_unused]] const bool queue_started = (InstallEventQueueHook(), true);
}  // namespace

// ---- TEvent ----

std::shared_ptr<TEvent> TEvent::Create(int32_t id, std::shared_ptr<TObject> source, int32_t data,
                                       int32_t mods, int32_t x, int32_t y,
                                       std::shared_ptr<TObject> extra) {
  auto event = std::make_shared<TEvent>();
  event->id = id;
  event->source = std::move(source);
  event->data = data;
  event->mods = mods;
  event->x = x;
  event->y = y;
  event->extra = std::move(extra);
  return event;
}

std::shared_ptr<TEvent> CreateEvent(int32_t id, std::shared_ptr<TObject> source, int32_t data,
                                    int32_t mods, int32_t x, int32_t y,
                                    std::shared_ptr<TObject> extra) {
  return TEvent::Create(id, std::move(source), data, mods, x, y, std::move(extra));
}

void TEvent::Emit() {
  RunHooks(EmitEventHook, shared_from_this());
}

void EmitEvent(const std::shared_ptr<TEvent>& event) {
  RunHooks(EmitEventHook, event);
}

std::string TEvent::ToString() const {
  std::string text;
  if (id < 0) {
    text = "UserEvent" + std::to_string(static_cast<int64_t>(id) + 2147483648LL);
  } else {
    for (const EventName& entry : kEventNames) {
      if (entry.id == id) text = entry.name;
    }
    if (text.empty()) text = "Unknown Event, id=" + std::to_string(id);
  }
  std::string extra_text;
  if (auto string_object = std::dynamic_pointer_cast<TStringObject>(extra)) {
    extra_text = string_object->text;
  }
  return text + ": data=" + std::to_string(data) + ", mods=" + std::to_string(mods) +
         ", x=" + std::to_string(x) + ", y=" + std::to_string(y) + ", extra=\"" + extra_text + "\"";
}

int32_t TEvent::AllocUserId() {
  if (last_user_id == -1) return last_user_id;  // every user id stays negative
  return ++last_user_id;
}

// ---- Hooks ----

int32_t AllocHookId() {
  if (last_hook_id >= kHookIdCount - 1) throw std::runtime_error("Too many hook ids");
  return ++last_hook_id;
}

void AddHook(int32_t id, THookFunction func, std::shared_ptr<TObject> context, int32_t priority) {
  if (id < 0 || id >= kHookIdCount || func == nullptr) return;
  THook* hook = new THook;
  hook->priority = priority;
  hook->func = func;
  hook->context = std::move(context);
  THook** link = &hook_chains[id].first;
  while (*link != nullptr && (*link)->priority >= priority) link = &(*link)->succ;
  hook->succ = *link;
  *link = hook;
}

void RemoveHook(int32_t id, THookFunction func, const std::shared_ptr<TObject>& context) {
  if (id < 0 || id >= kHookIdCount) return;
  HookChain& chain = hook_chains[id];
  for (THook** link = &chain.first; *link != nullptr; link = &(*link)->succ) {
    THook* hook = *link;
    if (hook->removed || hook->func != func || hook->context != context) continue;
    if (chain.runs > 0) {
      // A run may be calling this hook or hold it as its next one: keep it linked until
      // the last run of the chain ends.
      hook->removed = true;
      chain.has_removed = true;
    } else {
      *link = hook->succ;
      delete hook;
    }
    return;
  }
}

namespace {

void FreeRemovedHooks(HookChain& chain) {
  THook** link = &chain.first;
  while (*link != nullptr) {
    THook* hook = *link;
    if (hook->removed) {
      *link = hook->succ;
      delete hook;
    } else {
      link = &hook->succ;
    }
  }
  chain.has_removed = false;
}

// Counts a run of the chain for as long as it lasts, even when a hook throws.
class ChainRun {
 public:
  explicit ChainRun(HookChain& chain) : chain_(chain) { ++chain_.runs; }
  ~ChainRun() {
    if (--chain_.runs == 0 && chain_.has_removed) FreeRemovedHooks(chain_);
  }
  ChainRun(const ChainRun&) = delete;
  ChainRun& operator=(const ChainRun&) = delete;

 private:
  HookChain& chain_;
};

}  // namespace

std::shared_ptr<TObject> RunHooks(int32_t id, std::shared_ptr<TObject> data) {
  if (id < 0 || id >= kHookIdCount) return data;
  HookChain& chain = hook_chains[id];
  ChainRun run(chain);
  THook* hook = chain.first;
  while (hook != nullptr) {
    if (hook->removed) {
      hook = hook->succ;
      continue;
    }
    // The successor is taken before the call, so a hook added right behind the running one
    // waits for the next run (a hook that removes and adds itself again runs once). Removed
    // hooks stay linked until the run ends, so it stays valid whatever the hook removes.
    THook* next = hook->succ;
    data = hook->func(id, data, hook->context);
    hook = next;
  }
  return data;
}

// ---- Pump ----

void PumpEvents() {
  if (pumping) return;
  pumping = true;
  try {
    SystemDriver()->Poll();
  } catch (...) {
    pumping = false;
    throw;
  }
  pumping = false;
}

void WaitForEvents() {
  if (pumping) return;
  pumping = true;
  try {
    SystemDriver()->Wait();
  } catch (...) {
    pumping = false;
    throw;
  }
  pumping = false;
}
