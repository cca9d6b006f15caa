#pragma once
// One libpq connection to PostgreSQL and the statements run on it. Values are only ever
// bound to a statement's $1, $2..., never written into its SQL. One thread at a time per
// connection; a failure is thrown as store_failure.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "hall/store.h"

struct pg_conn;
struct pg_result;

// A value bound to a statement: as text, or bytes sent as they are (for bytea). Refers to
// the bytes it is made from, which must outlive the statement's run. Implicit, so that a
// statement's values read as a plain list.
class postgres_value {
 public:
  postgres_value(int64_t number);
  postgres_value(int32_t number);
  postgres_value(double number);
  postgres_value(const std::string& text);
  postgres_value(const char* text);
  postgres_value(const std::vector<uint8_t>& bytes);

 private:
  friend class postgres_connection;
  std::string number_;  // the text of a number, kept here
  const char* data_ = nullptr;
  int length_ = 0;
  bool binary_ = false;
};

// The rows a statement returned.
class postgres_result {
 public:
  int rows() const;
  std::string text(int row, int column) const;
  int64_t integer(int row, int column) const;  // throws store_failure for what is no number
  bool boolean(int row, int column) const;
  // A bytea column of a statement run with binary results.
  std::vector<uint8_t> bytes(int row, int column) const;
  // Rows an UPDATE or INSERT touched.
  int64_t changed() const;

 private:
  friend class postgres_connection;
  struct release {
    void operator()(pg_result* result) const;
  };
  std::unique_ptr<pg_result, release> result_;
};

class postgres_connection {
 public:
  // Connects with a libpq connection string (key=value pairs or a postgresql:// URI);
  // throws store_failure saying why it could not.
  explicit postgres_connection(const std::string& connection_string);
  ~postgres_connection();
  postgres_connection(const postgres_connection&) = delete;
  postgres_connection& operator=(const postgres_connection&) = delete;

  enum class results { text, binary };
  postgres_result run(const char* sql, std::initializer_list<postgres_value> values = {},
                      results format = results::text);
  // Statements that take no values, several at once (a schema).
  void run_script(const char* sql);
  // The connection was lost: no statement will work on it again. Reads what the server sent
  // while it was idle, so a connection the server has ended shows as broken before use.
  bool broken();
  // Database, host and port, for people; never the password.
  std::string where() const;

 private:
  [[noreturn]] void fail(const pg_result* result) const;
  pg_conn* connection_ = nullptr;
};

// A transaction on a connection that rolls back unless committed: a throw on the way
// leaves nothing half written.
class postgres_transaction {
 public:
  explicit postgres_transaction(postgres_connection& connection);
  ~postgres_transaction();
  postgres_transaction(const postgres_transaction&) = delete;
  postgres_transaction& operator=(const postgres_transaction&) = delete;
  void commit();

 private:
  postgres_connection& connection_;
  bool open_ = true;
};
