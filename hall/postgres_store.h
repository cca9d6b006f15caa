#pragma once
// The hall's games in PostgreSQL (libpq), for a hall of several vextral-hall processes, on
// one machine or many, sharing one database and one queue.
//
// A game taken is marked verifying with its taker (this store) and held by a session-level
// advisory lock, keyed by its id, on this store's claims connection. While that session
// lives no other store can take the lock, so none puts the game back; when the process dies
// or the connection is lost, the server ends the session, the lock goes with it, and any
// store's requeue_unfinished puts the game back. Taking uses FOR UPDATE SKIP LOCKED, so
// stores taking at once each get a different game. The session locks need a direct
// connection (or a pooler in session mode), not a transaction-mode pooler.

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "hall/postgres_connection.h"
#include "hall/store.h"

class postgres_store : public hall_store {
 public:
  // Connects with a libpq connection string and makes the tables if the database has none;
  // throws store_failure.
  explicit postgres_store(const std::string& connection_string);
  ~postgres_store() override;
  postgres_store(const postgres_store&) = delete;
  postgres_store& operator=(const postgres_store&) = delete;

  VEXTRAL_HALL_STORE_OVERRIDES

  // The database, for people (never the password).
  std::string where();

 private:
  // Runs work with a connection from the pool (a new one if none is free), once more on a
  // fresh connection if the first was found lost (an idle one outlived a server restart).
  template <typename Work>
  auto with_connection(Work work);
  std::unique_ptr<postgres_connection> borrow();
  void give_back(std::unique_ptr<postgres_connection> connection);

  // The claims connection, connected again if it was lost; then the games still held are
  // locked again, and any another store has taken meanwhile are let go. claims_mutex_ held.
  postgres_connection& claims();
  // Marks a game taken (verifying, no longer this store's) as finished or queued, and lets
  // go of it even when that fails.
  void let_go(int64_t id, const char* sql, std::initializer_list<postgres_value> values);

  const std::string connection_string_;
  const std::string taker_;  // this store, in the games it holds: host, process, random
  std::mutex pool_mutex_;
  std::vector<std::unique_ptr<postgres_connection>> idle_;
  std::mutex claims_mutex_;
  std::unique_ptr<postgres_connection> claims_;
  std::set<int64_t> held_;  // games taken, locked on claims_, not yet finished or released
};
