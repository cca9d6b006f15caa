#include "hall/sqlite_store.h"

#include <sqlite3.h>

namespace {

// Schema version 1. Recordings sit in a table of their own so that reading the table of
// games never touches their bytes.
constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS games (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  name TEXT NOT NULL,
  digest TEXT NOT NULL UNIQUE,
  size INTEGER NOT NULL,
  address TEXT NOT NULL,
  submitted_at INTEGER NOT NULL,
  status TEXT NOT NULL CHECK (status IN ('queued', 'verifying', 'verified', 'refused')),
  reason TEXT NOT NULL DEFAULT '',
  detail TEXT NOT NULL DEFAULT '',
  score INTEGER NOT NULL DEFAULT 0,
  level INTEGER NOT NULL DEFAULT 0,
  frames INTEGER NOT NULL DEFAULT 0,
  verify_seconds REAL NOT NULL DEFAULT 0
);
CREATE TABLE IF NOT EXISTS recordings (
  game_id INTEGER PRIMARY KEY REFERENCES games(id),
  bytes BLOB NOT NULL
);
CREATE INDEX IF NOT EXISTS games_by_status ON games(status, id);
CREATE INDEX IF NOT EXISTS games_ranked ON games(status, score DESC, id DESC);
PRAGMA user_version = 1;
)sql";

constexpr const char* kGameColumns =
    "id, name, status, reason, detail, score, level, frames, submitted_at, size";

// One prepared statement; values are only ever bound, never written into the SQL.
class statement {
 public:
  statement(sqlite3* database, const char* sql) : database_(database) {
    if (sqlite3_prepare_v2(database, sql, -1, &handle_, nullptr) != SQLITE_OK) fail();
  }
  ~statement() { sqlite3_finalize(handle_); }
  statement(const statement&) = delete;
  statement& operator=(const statement&) = delete;

  statement& bind(int index, int64_t value) {
    check(sqlite3_bind_int64(handle_, index, value));
    return *this;
  }
  statement& bind(int index, double value) {
    check(sqlite3_bind_double(handle_, index, value));
    return *this;
  }
  statement& bind(int index, const std::string& text) {
    check(sqlite3_bind_text(handle_, index, text.data(), static_cast<int>(text.size()),
                            SQLITE_TRANSIENT));
    return *this;
  }
  statement& bind(int index, const std::vector<uint8_t>& bytes) {
    // A zero-length blob must still be a blob, not NULL: a pointer that is never null.
    static const uint8_t kNothing = 0;
    check(sqlite3_bind_blob(handle_, index, bytes.empty() ? &kNothing : bytes.data(),
                            static_cast<int>(bytes.size()), SQLITE_TRANSIENT));
    return *this;
  }
  // True while there is a row; false once done.
  bool step() {
    const int result = sqlite3_step(handle_);
    if (result == SQLITE_ROW) return true;
    if (result == SQLITE_DONE) return false;
    fail();
  }
  // SQLITE_OK, or the extended code of a failed step (for the caller that expects one).
  int step_result() {
    const int result = sqlite3_step(handle_);
    if (result == SQLITE_ROW || result == SQLITE_DONE) return SQLITE_OK;
    return sqlite3_extended_errcode(database_);
  }
  // Ready to step again, with new values bound.
  void reset() { sqlite3_reset(handle_); }
  int64_t integer(int column) { return sqlite3_column_int64(handle_, column); }
  std::string text(int column) {
    const auto* bytes = sqlite3_column_text(handle_, column);
    return bytes ? std::string(reinterpret_cast<const char*>(bytes),
                               static_cast<size_t>(sqlite3_column_bytes(handle_, column)))
                 : std::string();
  }
  std::vector<uint8_t> blob(int column) {
    const auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(handle_, column));
    const auto size = static_cast<size_t>(sqlite3_column_bytes(handle_, column));
    return bytes ? std::vector<uint8_t>(bytes, bytes + size) : std::vector<uint8_t>();
  }

 private:
  void check(int result) {
    if (result != SQLITE_OK) fail();
  }
  [[noreturn]] void fail() {
    throw store_failure(std::string("database: ") + sqlite3_errmsg(database_));
  }
  sqlite3* database_;
  sqlite3_stmt* handle_ = nullptr;
};

game_record record_from(statement& row) {
  game_record record;
  record.id = row.integer(0);
  record.name = row.text(1);
  record.status = status_from_name(row.text(2));
  record.reason = row.text(3);
  record.detail = row.text(4);
  record.score = static_cast<int32_t>(row.integer(5));
  record.level = static_cast<int32_t>(row.integer(6));
  record.frames = static_cast<int32_t>(row.integer(7));
  record.submitted_at = row.integer(8);
  record.size = row.integer(9);
  return record;
}

// A transaction that rolls back unless committed (a throw on the way leaves nothing half
// written). BEGIN IMMEDIATE takes the write lock at once.
class transaction {
 public:
  explicit transaction(sqlite3* database) : database_(database) {
    statement(database, "BEGIN IMMEDIATE").step();
  }
  ~transaction() {
    if (!committed_) sqlite3_exec(database_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  transaction(const transaction&) = delete;
  transaction& operator=(const transaction&) = delete;
  void commit() {
    statement(database_, "COMMIT").step();
    committed_ = true;
  }

 private:
  sqlite3* database_;
  bool committed_ = false;
};

}  // namespace

sqlite_store::sqlite_store(const std::string& path) {
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(path.c_str(), &database_, flags, nullptr) != SQLITE_OK) {
    const std::string message = database_ ? sqlite3_errmsg(database_) : "out of memory";
    sqlite3_close(database_);
    database_ = nullptr;
    throw store_failure("database " + path + ": " + message);
  }
  try {
    sqlite3_busy_timeout(database_, 10000);
    execute("PRAGMA journal_mode = WAL");
    // Every commit reaches the disk before it returns: a game answered "queued" survives a
    // power cut too, not only the process being killed.
    execute("PRAGMA synchronous = FULL");
    execute("PRAGMA foreign_keys = ON");
    execute(kSchema);
  } catch (...) {
    sqlite3_close(database_);
    throw;
  }
}

sqlite_store::~sqlite_store() {
  sqlite3_close(database_);
}

void sqlite_store::execute(const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(database_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string text = message ? message : "unknown error";
    sqlite3_free(message);
    throw store_failure("database: " + text);
  }
}

add_outcome sqlite_store::add(const submission& game, int64_t& id) {
  std::lock_guard lock(mutex_);
  transaction writing(database_);
  statement insert(database_,
                   "INSERT INTO games (name, digest, size, address, submitted_at, status) "
                   "VALUES (?, ?, ?, ?, ?, 'queued')");
  insert.bind(1, game.name)
      .bind(2, game.digest)
      .bind(3, static_cast<int64_t>(game.recording.size()))
      .bind(4, game.address)
      .bind(5, game.submitted_at);
  const int result = insert.step_result();
  if (result == SQLITE_CONSTRAINT_UNIQUE) {
    statement earlier(database_, "SELECT id FROM games WHERE digest = ?");
    earlier.bind(1, game.digest);
    if (!earlier.step()) throw store_failure("database: a duplicate that is not there");
    id = earlier.integer(0);
    return add_outcome::duplicate;
  }
  if (result != SQLITE_OK)
    throw store_failure(std::string("database: ") + sqlite3_errmsg(database_));
  id = sqlite3_last_insert_rowid(database_);
  statement keep(database_, "INSERT INTO recordings (game_id, bytes) VALUES (?, ?)");
  keep.bind(1, id).bind(2, game.recording).step();
  writing.commit();
  return add_outcome::added;
}

std::optional<game_record> sqlite_store::find(int64_t id) {
  std::lock_guard lock(mutex_);
  statement select(database_,
                   (std::string("SELECT ") + kGameColumns + " FROM games WHERE id = ?").c_str());
  select.bind(1, id);
  if (!select.step()) return std::nullopt;
  return record_from(select);
}

std::optional<std::vector<uint8_t>> sqlite_store::verified_recording(int64_t id) {
  std::lock_guard lock(mutex_);
  statement select(database_,
                   "SELECT bytes FROM recordings JOIN games ON games.id = recordings.game_id "
                   "WHERE games.id = ? AND games.status = 'verified'");
  select.bind(1, id);
  if (!select.step()) return std::nullopt;
  return select.blob(0);
}

std::vector<game_record> sqlite_store::table(int count) {
  std::lock_guard lock(mutex_);
  statement select(database_, (std::string("SELECT ") + kGameColumns +
                               " FROM games WHERE status = 'verified' "
                               "ORDER BY score DESC, id DESC LIMIT ?")
                                  .c_str());
  select.bind(1, static_cast<int64_t>(count));
  std::vector<game_record> games;
  while (select.step()) games.push_back(record_from(select));
  return games;
}

std::optional<queued_game> sqlite_store::take() {
  std::lock_guard lock(mutex_);
  transaction writing(database_);
  statement oldest(database_,
                   "UPDATE games SET status = 'verifying' WHERE id = "
                   "(SELECT id FROM games WHERE status = 'queued' ORDER BY id LIMIT 1) "
                   "RETURNING id");
  if (!oldest.step()) return std::nullopt;
  queued_game game;
  game.id = oldest.integer(0);
  while (oldest.step()) {
  }
  statement bytes(database_, "SELECT bytes FROM recordings WHERE game_id = ?");
  bytes.bind(1, game.id);
  if (!bytes.step()) throw store_failure("database: a queued game without its recording");
  game.recording = bytes.blob(0);
  writing.commit();
  held_.insert(game.id);
  return game;
}

void sqlite_store::finish(int64_t id, const verdict& result) {
  std::lock_guard lock(mutex_);
  if (held_.erase(id) == 0) return;
  statement update(database_,
                   "UPDATE games SET status = ?, reason = ?, detail = ?, score = ?, level = ?, "
                   "frames = ?, verify_seconds = ? WHERE id = ? AND status = 'verifying'");
  update.bind(1, std::string(result.verified ? "verified" : "refused"))
      .bind(2, result.reason)
      .bind(3, result.detail)
      .bind(4, static_cast<int64_t>(result.score))
      .bind(5, static_cast<int64_t>(result.level))
      .bind(6, static_cast<int64_t>(result.frames))
      .bind(7, result.seconds)
      .bind(8, id)
      .step();
}

void sqlite_store::release(int64_t id) {
  std::lock_guard lock(mutex_);
  if (held_.erase(id) == 0) return;
  statement update(database_,
                   "UPDATE games SET status = 'queued' WHERE id = ? AND status = 'verifying'");
  update.bind(1, id).step();
}

int64_t sqlite_store::requeue_unfinished() {
  std::lock_guard lock(mutex_);
  // One process has the file, so a game being verified that this store does not hold was
  // left by a process that died, or let go after a failure.
  transaction writing(database_);
  statement verifying(database_, "SELECT id FROM games WHERE status = 'verifying'");
  std::vector<int64_t> left;
  while (verifying.step())
    if (!held_.contains(verifying.integer(0))) left.push_back(verifying.integer(0));
  statement update(database_, "UPDATE games SET status = 'queued' WHERE id = ?");
  for (const int64_t id : left) {
    update.bind(1, id).step();
    update.reset();
  }
  writing.commit();
  return static_cast<int64_t>(left.size());
}

int64_t sqlite_store::queue_length() {
  std::lock_guard lock(mutex_);
  statement count(database_, "SELECT COUNT(*) FROM games WHERE status IN ('queued', 'verifying')");
  count.step();
  return count.integer(0);
}
