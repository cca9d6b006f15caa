#pragma once
// The hall's games in one SQLite file, written ahead (WAL) and synced at every commit, so a
// game acknowledged is on disk even if the process or the machine stops the moment after.
// One connection, one process: the data folder's lock (lock_data_folder in hall/system.h)
// keeps a second hall away from the same file, so the games this store holds are the only
// ones a live taker is verifying.

#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "hall/store.h"

struct sqlite3;

class sqlite_store : public hall_store {
 public:
  // Opens (creating if needed) the database at path; throws store_failure.
  explicit sqlite_store(const std::string& path);
  ~sqlite_store() override;
  sqlite_store(const sqlite_store&) = delete;
  sqlite_store& operator=(const sqlite_store&) = delete;

  VEXTRAL_HALL_STORE_OVERRIDES

 private:
  void execute(const char* sql);
  std::mutex mutex_;
  sqlite3* database_ = nullptr;
  std::set<int64_t> held_;  // games taken and not yet finished or released
};
