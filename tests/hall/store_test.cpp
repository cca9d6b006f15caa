// The store's contract, on every engine: a real SQLite file, and a real PostgreSQL server of
// the test's own. Then what only a database shared by several halls must do.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "hall/digest.h"
#include "hall/postgres_connection.h"
#include "hall/postgres_store.h"
#include "hall/sqlite_store.h"
#include "tests/hall/private_postgres.h"

namespace {

namespace fs = std::filesystem;

// For what must happen: a bound on a fault, never a measure of speed.
constexpr std::chrono::seconds kDeadline(60);

// The test process's PostgreSQL server: started by the first test that needs it, stopped
// when the tests end, passed or not.
class postgres_environment : public ::testing::Environment {
 public:
  private_postgres& server() {
    if (!server_) server_ = std::make_unique<private_postgres>(private_postgres::binaries());
    return *server_;
  }
  void TearDown() override { server_.reset(); }

 private:
  std::unique_ptr<private_postgres> server_;
};

postgres_environment* const postgres = static_cast<postgres_environment*>(
    ::testing::AddGlobalTestEnvironment(new postgres_environment));

enum class engine { sqlite, postgres };
void PrintTo(engine kind, std::ostream* out) {
  *out << (kind == engine::sqlite ? "SQLite" : "PostgreSQL");
}

submission game_of(const std::string& name, std::vector<uint8_t> bytes) {
  submission game;
  game.name = name;
  game.recording = std::move(bytes);
  game.digest = sha256_hex(game.recording);
  game.address = "127.0.0.1";
  game.submitted_at = 1700000000;
  return game;
}

verdict verified_with(int32_t score) {
  verdict result;
  result.verified = true;
  result.score = score;
  return result;
}

class store_fixture {
 protected:
  // False, with the test skipped, when the engine is not installed.
  bool make_database(engine kind) {
    kind_ = kind;
    std::string pattern = (fs::path(::testing::TempDir()) / "hall_store_XXXXXX").string();
    if (!mkdtemp(pattern.data())) return false;
    folder_ = pattern;
    if (kind == engine::postgres) {
      if (private_postgres::binaries().empty()) return false;
      static int databases = 0;
      database_ = postgres->server().create_database("hall_" + std::to_string(++databases));
    }
    store_ = open_store();
    return true;
  }
  void remove_database() {
    store_.reset();
    if (!folder_.empty()) fs::remove_all(folder_);
  }
  // Another store on the same database, as another hall process would have.
  std::unique_ptr<hall_store> open_store() {
    if (kind_ == engine::postgres) return std::make_unique<postgres_store>(database_);
    return std::make_unique<sqlite_store>((fs::path(folder_) / "hall.sqlite").string());
  }
  void reopen() {
    store_.reset();
    store_ = open_store();
  }
  int64_t add(const std::string& name, std::vector<uint8_t> bytes) {
    int64_t id = 0;
    EXPECT_EQ(store_->add(game_of(name, std::move(bytes)), id), add_outcome::added);
    return id;
  }
  void verify(int64_t id, int32_t score) {
    std::optional<queued_game> taken = store_->take();
    ASSERT_TRUE(taken);
    ASSERT_EQ(taken->id, id);
    store_->finish(id, verified_with(score));
  }
  // requeue_unfinished until it has put back count games. A taker's end reaches a database
  // server a moment after the taker is gone.
  int64_t requeued_eventually(hall_store& store, int64_t count) {
    int64_t requeued = 0;
    const auto give_up = std::chrono::steady_clock::now() + kDeadline;
    while (requeued < count && std::chrono::steady_clock::now() < give_up) {
      requeued += store.requeue_unfinished();
      if (requeued < count) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return requeued;
  }

  engine kind_ = engine::sqlite;
  std::string folder_;
  std::string database_;  // PostgreSQL's connection string
  std::unique_ptr<hall_store> store_;
};

class HallStoreContract : public ::testing::TestWithParam<engine>, public store_fixture {
 protected:
  void SetUp() override {
    if (!make_database(GetParam()))
      GTEST_SKIP() << "PostgreSQL's initdb, postgres and createdb were not found "
                      "(tools/install-deps.sh --hall installs postgresql-15)";
  }
  void TearDown() override { remove_database(); }
};

TEST_P(HallStoreContract, TheSameBytesAreOneGameWhateverTheName) {
  const int64_t first = add("ann", {1, 2, 3});
  int64_t id = 0;
  EXPECT_EQ(store_->add(game_of("bob", {1, 2, 3}), id), add_outcome::duplicate);
  EXPECT_EQ(id, first);
  EXPECT_EQ(store_->queue_length(), 1);
  EXPECT_EQ(store_->find(first)->name, "ann");
  EXPECT_EQ(store_->find(first)->size, 3);
}

TEST_P(HallStoreContract, TheQueueHandsEachGameOnceOldestFirstAndSurvivesReopening) {
  const int64_t first = add("ann", {1});
  const int64_t second = add("bob", {2});
  std::optional<queued_game> taken = store_->take();
  ASSERT_TRUE(taken);
  EXPECT_EQ(taken->id, first);
  EXPECT_EQ(taken->recording, std::vector<uint8_t>{1});
  EXPECT_EQ(store_->find(first)->status, game_status::verifying);

  // The process dies mid-verification: the next one puts the game back, ahead of the other.
  reopen();
  EXPECT_EQ(requeued_eventually(*store_, 1), 1);
  EXPECT_EQ(store_->take()->id, first);
  EXPECT_EQ(store_->take()->id, second);
  EXPECT_FALSE(store_->take());
  store_->release(second);
  EXPECT_EQ(store_->find(second)->status, game_status::queued);
  EXPECT_EQ(store_->take()->id, second);
  EXPECT_EQ(store_->queue_length(), 2);
}

TEST_P(HallStoreContract, TheTableRanksVerifiedGamesByScoreThenNewestFirst) {
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
  EXPECT_EQ(table[2].score, 100);
  EXPECT_EQ(store_->table(1).size(), 1u);

  EXPECT_EQ(store_->find(refused_game)->reason, "did_not_replay");
  EXPECT_EQ(store_->find(refused_game)->detail, "no");
  EXPECT_EQ(store_->verified_recording(low), std::vector<uint8_t>{1});
  EXPECT_FALSE(store_->verified_recording(refused_game));
  EXPECT_FALSE(store_->verified_recording(waiting));
  EXPECT_FALSE(store_->find(999));
}

TEST_P(HallStoreContract, RequeueLeavesGamesBeingVerifiedAndAVerdictIsKeptOnce) {
  const int64_t first = add("ann", {1});
  const int64_t second = add("bob", {2});
  ASSERT_EQ(store_->take()->id, first);
  EXPECT_EQ(store_->requeue_unfinished(), 0);
  EXPECT_EQ(store_->find(first)->status, game_status::verifying);
  // A game never taken is not this store's to judge.
  store_->finish(second, verified_with(1));
  EXPECT_EQ(store_->find(second)->status, game_status::queued);

  store_->finish(first, verified_with(5));
  verdict late;
  late.reason = "took_too_long";
  store_->finish(first, late);
  store_->release(first);
  EXPECT_EQ(store_->find(first)->status, game_status::verified);
  EXPECT_EQ(store_->find(first)->score, 5);
  EXPECT_EQ(store_->take()->id, second);
}

TEST_P(HallStoreContract, AVerdictOfAnyTextIsKept) {
  const int64_t id = add("ann", {1});
  ASSERT_EQ(store_->take()->id, id);
  verdict refusal;
  refusal.reason = "damaged";
  refusal.detail = std::string("bad byte \xff\xfe here") + '\0' + "and after";
  store_->finish(id, refusal);
  const std::optional<game_record> game = store_->find(id);
  EXPECT_EQ(game->status, game_status::refused);
  EXPECT_EQ(game->reason, "damaged");
  EXPECT_EQ(game->detail.substr(0, 9), "bad byte ");
}

// Stores on one database taking and judging at once, from several threads each, as halls
// sharing a database do: every game is handed out once.
TEST_P(HallStoreContract, StoresSharingADatabaseHandEachGameToOneTakerOnly) {
  constexpr int kGames = 200;
  std::vector<int64_t> added;
  for (int game = 0; game < kGames; ++game)
    added.push_back(add("g", {static_cast<uint8_t>(game), static_cast<uint8_t>(game >> 8)}));
  std::unique_ptr<hall_store> other = open_store();
  std::mutex mutex;
  std::vector<int64_t> taken;
  std::vector<std::string> failures;
  auto take_all = [&](hall_store& store) {
    try {
      while (std::optional<queued_game> game = store.take()) {
        store.finish(game->id, verified_with(static_cast<int32_t>(game->id)));
        std::lock_guard lock(mutex);
        taken.push_back(game->id);
      }
    } catch (const store_failure& failure) {
      std::lock_guard lock(mutex);
      failures.push_back(failure.what());
    }
  };
  std::vector<std::thread> takers;
  for (int taker = 0; taker < 2; ++taker) {
    takers.emplace_back(take_all, std::ref(*store_));
    takers.emplace_back(take_all, std::ref(*other));
  }
  for (std::thread& taker : takers) taker.join();
  EXPECT_EQ(failures, std::vector<std::string>{});
  std::sort(taken.begin(), taken.end());
  EXPECT_EQ(taken, added);
  EXPECT_EQ(store_->queue_length(), 0);
  EXPECT_EQ(store_->table(1).front().score, added.back());
}

// A hall process killed while verifying: its game goes back to the queue, and to nobody
// before that.
TEST_P(HallStoreContract, AGameTakenByAProcessThatDiesGoesBackToTheQueue) {
  const int64_t first = add("ann", {1});
  const int64_t second = add("bob", {2});
  // A connection is never carried into a child: the child opens its own.
  store_.reset();
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  std::fflush(nullptr);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(report[0]);
    try {
      std::unique_ptr<hall_store> dying = open_store();
      const std::optional<queued_game> game = dying->take();
      const int64_t id = game ? game->id : 0;
      if (write(report[1], &id, sizeof id) != sizeof id) _exit(1);
      // Verifying until killed.
      for (;;) pause();
    } catch (...) {
      _exit(2);
    }
  }
  close(report[1]);
  int64_t taken = 0;
  pollfd reply{report[0], POLLIN, 0};
  const bool answered = poll(&reply, 1, static_cast<int>(kDeadline.count() * 1000)) == 1 &&
                        read(report[0], &taken, sizeof taken) == sizeof taken;
  close(report[0]);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(answered) << "the child took nothing";
  ASSERT_EQ(taken, first);

  store_ = open_store();
  EXPECT_EQ(store_->find(first)->status, game_status::verifying);
  EXPECT_EQ(requeued_eventually(*store_, 1), 1);
  EXPECT_EQ(store_->find(first)->status, game_status::queued);
  EXPECT_EQ(store_->take()->id, first);
  EXPECT_EQ(store_->take()->id, second);
}

INSTANTIATE_TEST_SUITE_P(Hall, HallStoreContract,
                         ::testing::Values(engine::sqlite, engine::postgres),
                         [](const ::testing::TestParamInfo<engine>& engine_info) {
                           return engine_info.param == engine::sqlite ? "sqlite" : "postgres";
                         });

// What only PostgreSQL, shared by hall processes that stay up while others come and go,
// must do.
class HallPostgresStore : public ::testing::Test, public store_fixture {
 protected:
  void SetUp() override {
    if (!make_database(engine::postgres))
      GTEST_SKIP() << "PostgreSQL's initdb, postgres and createdb were not found "
                      "(tools/install-deps.sh --hall installs postgresql-15)";
  }
  void TearDown() override { remove_database(); }

  // Ends the database session that holds game id's lock, as a lost network would.
  void cut_connection_of_holder(int64_t id) {
    postgres_connection admin(database_);
    const postgres_result ended = admin.run(
        "SELECT pg_terminate_backend(pid, 60000) FROM pg_locks "
        "WHERE locktype = 'advisory' AND objsubid = 1 AND classid = 0 AND objid = $1::oid",
        {id});
    ASSERT_EQ(ended.rows(), 1);
    ASSERT_TRUE(ended.boolean(0, 0));
  }
};

TEST_F(HallPostgresStore, AGameALiveHallHoldsIsNotPutBackButOneWhoseConnectionIsLostIs) {
  const int64_t first = add("ann", {1});
  const int64_t second = add("bob", {2});
  std::unique_ptr<hall_store> other = open_store();
  ASSERT_EQ(store_->take()->id, first);
  EXPECT_EQ(other->requeue_unfinished(), 0);
  EXPECT_EQ(other->take()->id, second);
  EXPECT_FALSE(other->take());

  cut_connection_of_holder(first);
  EXPECT_EQ(requeued_eventually(*other, 1), 1);
  EXPECT_EQ(other->take()->id, first);
  // The first taker comes back too late: the game is the other's now.
  verdict late;
  late.reason = "took_too_long";
  store_->finish(first, late);
  EXPECT_EQ(store_->find(first)->status, game_status::verifying);
  EXPECT_EQ(store_->requeue_unfinished(), 0);
  EXPECT_FALSE(store_->take());
  other->finish(first, verified_with(77));
  EXPECT_EQ(store_->find(first)->status, game_status::verified);
  EXPECT_EQ(store_->find(first)->score, 77);
}

TEST_F(HallPostgresStore, AConnectionLostAndFoundAgainKeepsItsGamesWhenNobodyTookThem) {
  const int64_t first = add("ann", {1});
  const int64_t second = add("bob", {2});
  ASSERT_EQ(store_->take()->id, first);
  ASSERT_EQ(store_->take()->id, second);
  cut_connection_of_holder(first);
  // Connected again, the store holds its games as before: no other store takes them.
  store_->finish(first, verified_with(5));
  std::unique_ptr<hall_store> other = open_store();
  EXPECT_EQ(other->requeue_unfinished(), 0);
  EXPECT_FALSE(other->take());
  EXPECT_EQ(store_->find(first)->status, game_status::verified);
  store_->release(second);
  EXPECT_EQ(other->take()->id, second);
}

TEST_F(HallPostgresStore, HallsStartingAtOnceOnAnEmptyDatabaseAllMakeItReady) {
  const std::string fresh = postgres->server().create_database("hall_empty");
  std::vector<std::string> failures;
  std::mutex mutex;
  std::vector<std::thread> halls;
  for (int hall = 0; hall < 4; ++hall)
    halls.emplace_back([&] {
      try {
        postgres_store starting(fresh);
        starting.queue_length();
      } catch (const store_failure& failure) {
        std::lock_guard lock(mutex);
        failures.push_back(failure.what());
      }
    });
  for (std::thread& hall : halls) hall.join();
  EXPECT_EQ(failures, std::vector<std::string>{});
}

TEST_F(HallPostgresStore, AServerThatCannotBeReachedIsAStoreFailure) {
  EXPECT_THROW(postgres_store("host=/nonexistent/vextral port=1 user=nobody dbname=none"),
               store_failure);
}

}  // namespace
