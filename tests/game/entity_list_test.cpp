#include "game/entity_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct item {
  explicit item(int id) : id(id) {}
  int id;
};

std::vector<int> ids(const entity_list<item>& list) {
  std::vector<int> result;
  for (const auto& entry : list.items()) result.push_back(entry->id);
  return result;
}

entity_list<item> list_of(std::initializer_list<int> values) {
  entity_list<item> list;
  for (int value : values) list.add(std::make_shared<item>(value));
  return list;
}

TEST(EntityListWalk, VisitsInCreationOrder) {
  auto list = list_of({1, 2, 3});
  std::vector<int> seen;
  list.walk([&](const std::shared_ptr<item>& entry) { seen.push_back(entry->id); });
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
}

TEST(EntityListWalk, AnObjectMayRemoveItselfAndStaysAliveUntilItsVisitEnds) {
  auto list = list_of({1, 2, 3});
  std::vector<int> seen;
  list.walk([&](const std::shared_ptr<item>& entry) {
    if (entry->id == 2) {
      list.remove(entry.get());
      entry->id = 20;  // still a valid object after removal
    }
    seen.push_back(entry->id);
  });
  EXPECT_EQ(seen, (std::vector<int>{1, 20, 3}));
  EXPECT_EQ(ids(list), (std::vector<int>{1, 3}));
}

TEST(EntityListWalk, ObjectsAppendedDuringTheWalkAreReached) {
  auto list = list_of({1, 2});
  std::vector<int> seen;
  list.walk([&](const std::shared_ptr<item>& entry) {
    seen.push_back(entry->id);
    if (entry->id < 3) list.add(std::make_shared<item>(entry->id + 10));
  });
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 11, 12}));
  EXPECT_EQ(list.size(), 4u);
}

TEST(EntityListWalk, AnObjectRemovedBeforeTheWalkReachesItIsSkipped) {
  auto list = list_of({1, 2, 3, 4});
  const auto third = list.items()[2];
  std::vector<int> seen;
  list.walk([&](const std::shared_ptr<item>& entry) {
    seen.push_back(entry->id);
    if (entry->id == 1) list.remove(third.get());
  });
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 4}));
  EXPECT_EQ(ids(list), (std::vector<int>{1, 2, 4}));
}

TEST(EntityListWalk, RemovingTwiceOrRemovingAStrangerChangesNothing) {
  auto list = list_of({1, 2});
  const auto first = list.first();
  item stranger(9);
  list.walk([&](const std::shared_ptr<item>& entry) {
    list.remove(first.get());
    list.remove(first.get());
    list.remove(&stranger);
    (void)entry;
  });
  EXPECT_EQ(ids(list), (std::vector<int>{2}));
}

TEST(EntityListWalk, ClearingDuringAWalkEndsTheVisitsAndEmptiesTheList) {
  auto list = list_of({1, 2, 3});
  std::vector<int> seen;
  list.walk([&](const std::shared_ptr<item>& entry) {
    seen.push_back(entry->id);
    list.clear();
  });
  EXPECT_EQ(seen, (std::vector<int>{1}));
  EXPECT_TRUE(list.empty());
  list.add(std::make_shared<item>(5));
  EXPECT_EQ(ids(list), (std::vector<int>{5}));
}

TEST(EntityListWalk, NestedWalksOfTheSameListKeepTheirPlaces) {
  auto list = list_of({1, 2, 3});
  std::vector<std::string> seen;
  list.walk([&](const std::shared_ptr<item>& outer) {
    list.walk([&](const std::shared_ptr<item>& inner) {
      if (outer->id == 1 && inner->id == 2) list.remove(inner.get());
      seen.push_back(std::to_string(outer->id) + ":" + std::to_string(inner->id));
    });
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"1:1", "1:2", "1:3", "3:1", "3:3"}));
  EXPECT_EQ(ids(list), (std::vector<int>{1, 3}));
}

}  // namespace
