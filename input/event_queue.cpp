// The event queue: the last hook on EmitEventHook stores every event in a 256-entry ring
// for programs that prefer to poll events one by one.

#include <array>

#include "input/event.h"
#include "input/internal.h"

namespace {

constexpr int32_t kQueueSize = 256;

struct EventQueue {
  std::array<std::shared_ptr<TEvent>, kQueueSize> ring;
  // Ever-increasing; an entry's slot is its counter modulo the ring size.
  uint32_t put = 0;
  uint32_t get = 0;
  std::shared_ptr<TEvent> current;
};

EventQueue& Queue() {
  static EventQueue queue;
  return queue;
}

bool QueueEmpty() {
  return Queue().put == Queue().get;
}

const std::shared_ptr<TEvent>& EmptyEvent() {
  static const std::shared_ptr<TEvent> empty = TEvent::Create(0);
  return empty;
}

// Ids whose queued twin (same id and source) is updated instead of queueing another.
bool Coalesces(int32_t id) {
  return id == 2049 || id == 8193 || id == 16385 || id == 16386;
}

std::shared_ptr<TObject> QueueHook(int32_t, const std::shared_ptr<TObject>& data,
                                   const std::shared_ptr<TObject>&) {
  if (auto event = std::dynamic_pointer_cast<TEvent>(data)) {
    PostEvent(event, Coalesces(event->id) ? 1 : 0);
  }
  return data;
}

void TakeOldest() {
  EventQueue& queue = Queue();
  std::shared_ptr<TEvent>& slot = queue.ring[queue.get % kQueueSize];
  queue.current = std::move(slot);
  slot = nullptr;
  ++queue.get;
}

}  // namespace

void InstallEventQueueHook() {
  AddHook(EmitEventHook, QueueHook, nullptr, -10000);
}

void PostEvent(const std::shared_ptr<TEvent>& event, int32_t update) {
  if (!event) return;
  EventQueue& queue = Queue();
  if (update) {
    for (uint32_t counter = queue.get; counter != queue.put; ++counter) {
      TEvent& twin = *queue.ring[counter % kQueueSize];
      if (twin.id == event->id && twin.source == event->source) {
        twin.data = event->data;
        twin.mods = event->mods;
        twin.x = event->x;
        twin.y = event->y;
        twin.extra = event->extra;
        return;
      }
    }
  }
  if (queue.put - queue.get >= static_cast<uint32_t>(kQueueSize)) return;
  queue.ring[queue.put % kQueueSize] = event;
  ++queue.put;
}

int32_t PollEvent() {
  if (QueueEmpty()) PumpEvents();
  if (QueueEmpty()) {
    Queue().current = EmptyEvent();
    return 0;
  }
  TakeOldest();
  return Queue().current->id;
}

int32_t WaitEvent() {
  while (QueueEmpty()) WaitForEvents();
  TakeOldest();
  return Queue().current->id;
}

std::shared_ptr<TEvent> PeekEvent() {
  if (QueueEmpty()) PumpEvents();
  if (QueueEmpty()) return nullptr;
  return Queue().ring[Queue().get % kQueueSize];
}

void FlushEvents() {
  EventQueue& queue = Queue();
  while (queue.get != queue.put) {
    queue.ring[queue.get % kQueueSize] = nullptr;
    ++queue.get;
  }
}

std::shared_ptr<TEvent> CurrentEvent() {
  if (!Queue().current) Queue().current = EmptyEvent();
  return Queue().current;
}

int32_t EventID() {
  return CurrentEvent()->id;
}
int32_t EventData() {
  return CurrentEvent()->data;
}
int32_t EventMods() {
  return CurrentEvent()->mods;
}
int32_t EventX() {
  return CurrentEvent()->x;
}
int32_t EventY() {
  return CurrentEvent()->y;
}
std::shared_ptr<TObject> EventExtra() {
  return CurrentEvent()->extra;
}
std::string EventText() {
  auto text = std::dynamic_pointer_cast<TStringObject>(CurrentEvent()->extra);
  return text ? text->text : std::string();
}
std::shared_ptr<TObject> EventSource() {
  return CurrentEvent()->source;
}
