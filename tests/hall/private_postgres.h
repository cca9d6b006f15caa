#pragma once
// A PostgreSQL server of a test's own: a new cluster in a temporary folder, listening on a
// Unix socket in that folder only, stopped and removed with this object. The server is
// killed with the test process if that dies first. Started by root, it runs as nobody (the
// server refuses root).

#include <sys/types.h>

#include <string>
#include <vector>

class private_postgres {
 public:
  // The folder holding PostgreSQL's initdb, postgres and createdb: the environment
  // variable VEXTRAL_POSTGRES_BIN, else the one the build found; empty when they are not
  // there.
  static std::string binaries();

  // Makes and starts the cluster; throws std::runtime_error, with the server's log, when
  // it does not come up.
  explicit private_postgres(const std::string& binaries);
  ~private_postgres();
  private_postgres(const private_postgres&) = delete;
  private_postgres& operator=(const private_postgres&) = delete;

  // Makes a new empty database; its libpq connection string.
  std::string create_database(const std::string& name);

 private:
  // Runs a PostgreSQL program to its end (as the server's user); false when it fails.
  bool run(const std::string& program, const std::vector<std::string>& arguments,
           bool as_server_user);
  std::string connection_string(const std::string& database) const;
  // Stops the server (at once: nothing in it is kept) and removes the folder.
  void stop();
  std::string log() const;

  std::string binaries_;
  std::string folder_;
  pid_t server_ = -1;
};
