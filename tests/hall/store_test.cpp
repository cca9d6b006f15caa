// The store's contract, on a real SQLite file.

#include <gtest/gtest.h>

#include <filesystem>

#include "hall/digest.h"
#include "hall/sqlite_store.h"

namespace {

namespace fs = std::filesystem;

class HallStore : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::path(::testing::TempDir()) /
              ("hall_store_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    open();
  }
  void TearDown() override {
    store_.reset();
    fs::remove_all(folder_);
  }
  void open() {
    store_.reset();
    store_ = std::make_unique<sqlite_store>((folder_ / "hall.sqlite").string());
  }
  int64_t add(const std::string& name, std::vector<uint8_t> bytes) {
    submission game;
    game.name = name;
    game.recording = std::move(bytes);
    game.digest = sha256_hex(game.recording);
    game.address = "127.0.0.1";
    game.submitted_at = 1700000000;
    int64_t id = 0;
    EXPECT_EQ(store_->add(game, id), add_outcome::added);
    return id;
  }
  void verify(int64_t id, int32_t score) {
    std::optional<queued_game> taken = store_->take();
    ASSERT_TRUE(taken);
    ASSERT_EQ(taken->id, id);
    verdict result;
    result.verified = true;
    result.score = score;
    store_->finish(id, result);
  }

  fs::path folder_;
  std::unique_ptr<hall_store> store_;
};

TEST_F(HallStore, TheSameBytesAreOneGameWhateverTheName) {
  const int64_t first = add("ann", {1, 2, 3});
  submission again;
  again.name = "bob";
  again.recording = {1, 2, 3};
  again.digest = sha256_hex(again.recording);
  int64_t id = 0;
  EXPECT_EQ(store_->add(again, id), add_outcome::duplicate);
  EXPECT_EQ(id, first);
  EXPECT_EQ(store_->queue_length(), 1);
}

TEST_F(HallStore, TheQueueHandsEachGameOnceOldestFirstAndSurvivesReopening) {
  const int64_t first = add("ann", {1});
  const int64_t second = add("bob", {2});
  std::optional<queued_game> taken = store_->take();
  ASSERT_TRUE(taken);
  EXPECT_EQ(taken->id, first);
  EXPECT_EQ(taken->recording, std::vector<uint8_t>{1});
  EXPECT_EQ(store_->find(first)->status, game_status::verifying);

  // A process dies mid-verification: the next one puts the game back, ahead of the other.
  open();
  EXPECT_EQ(store_->requeue_unfinished(), 1);
  EXPECT_EQ(store_->take()->id, first);
  EXPECT_EQ(store_->take()->id, second);
  EXPECT_FALSE(store_->take());
  store_->release(second);
  EXPECT_EQ(store_->take()->id, second);
}

TEST_F(HallStore, TheTableRanksVerifiedGamesByScoreThenNewestFirst) {
  const int64_t low = add("low", {1});
  const int64_t tie_old = add("old", {2});
  const int64_t tie_new = add("new", {3});
  const int64_t refused_game = add("refused", {4});
  const int64_t waiting = add("waiting", {5});
  verify(low, 100);
  verify(tie_old, 500);
  verify(tie_new, 500);
  ASSERT_EQ(store_->take()->id, refused_game);
  verdict refusal;
  refusal.reason = "did_not_replay";
  refusal.detail = "no";
  store_->finish(refused_game, refusal);

  const std::vector<game_record> table = store_->table(10);
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[0].id, tie_new);
  EXPECT_EQ(table[1].id, tie_old);
  EXPECT_EQ(table[2].id, low);
  EXPECT_EQ(store_->table(1).size(), 1u);

  EXPECT_EQ(store_->find(refused_game)->reason, "did_not_replay");
  EXPECT_TRUE(store_->verified_recording(low));
  EXPECT_FALSE(store_->verified_recording(refused_game));
  EXPECT_FALSE(store_->verified_recording(waiting));
  EXPECT_FALSE(store_->find(999));
}

}  // namespace
