#pragma once
// The hall's HTTP service (cpp-httplib): the submission API, each game's status and
// recording, the table as JSON and as a page, health and metrics. Bodies are capped, slow
// clients time out, submissions are rate-limited per address. With a page folder, the game's
// browser page under /play/, on the same origin as the API it calls.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "hall/metrics.h"
#include "hall/store.h"

struct server_settings {
  // A minute of play records in about 27 KB: 2 MiB holds over an hour's, and keeps what
  // one request can make the hall store and parse small.
  size_t max_upload_bytes = 2u << 20;
  double submissions_per_minute = 6;
  int timeout_seconds = 10;  // for reading a request and writing an answer
  int32_t max_frames = 0;    // the longest game taken, said on the page
  // The game's browser page, served under /play/ from this folder; empty: none.
  std::string page_dir;
};

class hall_server {
 public:
  explicit hall_server(server_settings settings);
  ~hall_server();
  hall_server(const hall_server&) = delete;
  hall_server& operator=(const hall_server&) = delete;

  // False when a page folder was given and cannot be served (not a folder).
  bool page_served() const;
  // Binds host:port (port 0: any free one); the port bound, or -1.
  int bind(const std::string& host, int port);
  // Serves from store until stop(); on_queued is called after each game is queued.
  void run(hall_store& store, hall_metrics& metrics, std::function<void()> on_queued);
  void stop();

 private:
  void serve_page(const std::string& folder);
  struct impl;
  std::unique_ptr<impl> impl_;
};
