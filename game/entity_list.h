#pragma once
// An ordered list of live entities that may change while it is being walked.
//
// Walking rules the entity code relies on:
//  - objects are appended at the end, and a walk visits them in creation order;
//  - an object may remove itself (or any other object) during the walk;
//  - an object appended during a walk is reached by that same walk;
//  - an object removed before the walk reaches it is skipped.
// The list owns its objects: removing one drops the list's reference. An object
// being updated stays alive until its update returns, even if it removed itself.
// Game thread only.

#include <cstddef>
#include <memory>
#include <vector>

template <typename T>
class entity_list {
 public:
  // Appends obj at the end (also during a walk, which then reaches it).
  void add(std::shared_ptr<T> obj) {
    if (obj) slots_.push_back(std::move(obj));
  }

  // Removes obj if it is in the list; removing it again, or an object that was
  // never added, does nothing.
  void remove(const T* obj) {
    if (!obj) return;
    // The object being updated is the one most often removed, so look there first.
    if (walk_depth_ > 0 && cursor_ < slots_.size() && slots_[cursor_].get() == obj) {
      drop(cursor_);
      return;
    }
    for (size_t index = 0; index < slots_.size(); ++index) {
      if (slots_[index].get() == obj) {
        drop(index);
        return;
      }
    }
  }

  // Calls visit(object) for every live object, first to last, under the walking rules.
  // visit takes a std::shared_ptr<T>& or const std::shared_ptr<T>&.
  template <typename Visit>
  void walk(Visit&& visit) {
    const size_t saved_cursor = cursor_;
    ++walk_depth_;
    for (size_t index = 0; index < slots_.size(); ++index) {
      if (!slots_[index]) continue;
      cursor_ = index;
      std::shared_ptr<T> keep_alive = slots_[index];
      visit(keep_alive);
    }
    --walk_depth_;
    cursor_ = saved_cursor;
    if (walk_depth_ == 0) compact();
  }

  // Removes every object.
  void clear() {
    if (walk_depth_ > 0) {
      for (auto& slot : slots_) slot.reset();
      holes_ = slots_.size();
    } else {
      slots_.clear();
      holes_ = 0;
    }
  }

  size_t size() const { return slots_.size() - holes_; }
  bool empty() const { return size() == 0; }

  // The live objects in walk order (a copy; for tests, traces and tools).
  std::vector<std::shared_ptr<T>> items() const {
    std::vector<std::shared_ptr<T>> result;
    result.reserve(size());
    for (const auto& slot : slots_)
      if (slot) result.push_back(slot);
    return result;
  }

  std::shared_ptr<T> first() const {
    for (const auto& slot : slots_)
      if (slot) return slot;
    return nullptr;
  }

 private:
  void drop(size_t index) {
    if (walk_depth_ > 0) {
      // Leave a hole so that the indices of a walk in progress stay valid.
      slots_[index].reset();
      ++holes_;
    } else {
      slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(index));
    }
  }

  void compact() {
    if (holes_ == 0) return;
    std::erase_if(slots_, [](const std::shared_ptr<T>& slot) { return !slot; });
    holes_ = 0;
  }

  std::vector<std::shared_ptr<T>> slots_;
  size_t holes_ = 0;
  size_t cursor_ = 0;
  int walk_depth_ = 0;
};
