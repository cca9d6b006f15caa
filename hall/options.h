#pragma once
// vextral-hall's command line.
//
//   vextral-hall --data DIR [--database CONNECTION] [--host ADDRESS] [--port N]
//                [--workers N] [--user NAME] [--max-minutes N] [--verify-cpu-seconds N]
//                [--verify-memory-mb N] [--submissions-per-minute N] [--max-upload-kib N]
//                [--page DIR]
//   vextral-hall --verify FILE --sim-data DIR [--max-frames N] [--cpu-seconds N]
//                [--memory-mb N]      (the verifier child; the hall runs it itself)

#include <string>
#include <vector>

#include "hall/server.h"
#include "hall/verification.h"

struct hall_options {
  bool verify = false;  // run as the verifier child
  std::string verify_file, sim_data;
  std::string data_dir;
  std::string database;  // a PostgreSQL connection string; empty: SQLite in data_dir
  std::string host = "127.0.0.1";
  int port = 8734;
  int workers = 2;
  std::string user;  // to drop to when started as root
  verify_limits limits;
  server_settings server;
};

// The arguments after the program's name; false with a message for anything unknown or malformed;
// "--help" gives false with an empty message.
bool parse_hall_arguments(const std::vector<std::string>& arguments, hall_options& options,
                          std::string& error);
const char* hall_usage();
