#include "hall/server.h"

#include <httplib.h>

#include <charconv>
#include <chrono>

#include "hall/digest.h"
#include "hall/names.h"
#include "hall/page.h"
#include "hall/rate_limit.h"
#include "hall/text_escape.h"

namespace {

constexpr int kDefaultTableSize = 10;
constexpr int kMaxTableSize = 100;
// Room for a form's boundaries and its name field around a recording of the largest size.
constexpr size_t kFormOverhead = 64u << 10;
constexpr const char* kPageMount = "/play/";
// The API's answers and the table's page run no script at all.
constexpr const char* kHallPolicy = "default-src 'self'; style-src 'unsafe-inline'";
// The game's page runs its own scripts and compiles its WebAssembly; the file loader
// decodes preloaded images and sounds through blob: addresses. It still reaches only this
// origin.
constexpr const char* kPagePolicy =
    "default-src 'self'; script-src 'self' 'wasm-unsafe-eval'; style-src 'self'; "
    "img-src 'self' blob:; media-src 'self' blob:; object-src 'none'; base-uri 'none'; "
    "frame-ancestors 'none'";

void answer_json(httplib::Response& response, int status, const std::string& json) {
  response.status = status;
  response.set_content(json + "\n", "application/json");
}

void answer_error(httplib::Response& response, int status, const std::string& error,
                  const std::string& reason) {
  answer_json(response, status,
              "{\"error\":" + json_string(error) + ",\"reason\":" + json_string(reason) + "}");
}

std::string game_json(const game_record& game) {
  std::string json = "{\"id\":" + std::to_string(game.id) + ",\"name\":" + json_string(game.name) +
                     ",\"status\":" + json_string(status_name(game.status)) +
                     ",\"submitted_at\":" + std::to_string(game.submitted_at) +
                     ",\"size\":" + std::to_string(game.size);
  if (game.status == game_status::verified) {
    json += ",\"score\":" + std::to_string(game.score) +
            ",\"level\":" + std::to_string(game.level) +
            ",\"frames\":" + std::to_string(game.frames) + ",\"recording\":\"/api/games/" +
            std::to_string(game.id) + "/recording\"";
  } else if (game.status == game_status::refused) {
    json += ",\"reason\":" + json_string(game.reason) + ",\"detail\":" + json_string(game.detail);
  }
  return json + "}";
}

bool parse_id(const std::string& text, int64_t& id) {
  const char* end = text.data() + text.size();
  const auto parsed = std::from_chars(text.data(), end, id);
  return parsed.ec == std::errc() && parsed.ptr == end && id > 0;
}

}  // namespace

struct hall_server::impl {
  explicit impl(server_settings settings)
      : settings(settings), limit(settings.submissions_per_minute) {}

  void routes();
  void submit(const httplib::Request& request, httplib::Response& response);

  // Set by run(), before the first request.
  hall_store* store_ = nullptr;
  hall_metrics* metrics_ = nullptr;
  server_settings settings;
  std::function<void()> on_queued;
  rate_limit limit;
  bool page_mounted = false;
  httplib::Server http;
};

void hall_server::impl::submit(const httplib::Request& request, httplib::Response& response) {
  auto reject = [&](int status, const std::string& error, const std::string& reason) {
    metrics_->submission_rejected(error);
    answer_error(response, status, error, reason);
  };
  int retry_after = 0;
  if (!limit.allow(request.remote_addr, std::chrono::steady_clock::now(), retry_after)) {
    response.set_header("Retry-After", std::to_string(retry_after));
    return reject(429, "rate_limited",
                  "too many games from this address; try again in " + std::to_string(retry_after) +
                      " seconds");
  }
  std::string name;
  const std::string* body = &request.body;
  httplib::MultipartFormData recording_part;
  if (request.is_multipart_form_data()) {
    name = request.get_file_value("name").content;
    if (!request.has_file("recording"))
      return reject(400, "no_recording", "the form holds no field named recording");
    recording_part = request.get_file_value("recording");
    body = &recording_part.content;
  } else {
    name = request.get_param_value("name");
  }
  const std::string problem = name_problem(name);
  if (!problem.empty()) return reject(400, "bad_name", problem);
  if (body->empty()) return reject(400, "empty", "the recording is empty");
  if (body->size() > settings.max_upload_bytes)
    return reject(
        413, "too_large",
        "the recording is larger than " + std::to_string(settings.max_upload_bytes) + " bytes");

  submission game;
  game.name = name;
  game.recording.assign(body->begin(), body->end());
  game.digest = sha256_hex(game.recording);
  game.address = request.remote_addr;
  game.submitted_at = std::chrono::duration_cast<std::chrono::seconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  int64_t id = 0;
  if (store_->add(game, id) == add_outcome::duplicate) {
    metrics_->submission_rejected("duplicate");
    return answer_json(response, 409,
                       "{\"error\":\"duplicate\",\"reason\":\"this recording was sent before, as "
                       "game " +
                           std::to_string(id) + "\",\"id\":" + std::to_string(id) + "}");
  }
  metrics_->submission_received();
  if (on_queued) on_queued();
  response.set_header("Location", "/api/games/" + std::to_string(id));
  answer_json(response, 202, "{\"id\":" + std::to_string(id) + ",\"status\":\"queued\"}");
}

void hall_server::impl::routes() {
  http.Post("/api/games", [this](const httplib::Request& request, httplib::Response& response) {
    submit(request, response);
  });
  http.Get(R"(/api/games/(\d+))",
           [this](const httplib::Request& request, httplib::Response& response) {
             int64_t id = 0;
             std::optional<game_record> game;
             if (parse_id(request.matches[1], id)) game = store_->find(id);
             if (!game) return answer_error(response, 404, "not_found", "no game with that id");
             answer_json(response, 200, game_json(*game));
           });
  http.Get(R"(/api/games/(\d+)/recording)", [this](const httplib::Request& request,
                                                   httplib::Response& response) {
    int64_t id = 0;
    std::optional<std::vector<uint8_t>> bytes;
    if (parse_id(request.matches[1], id)) bytes = store_->verified_recording(id);
    if (!bytes) return answer_error(response, 404, "not_found", "no verified game with that id");
    response.set_header("Content-Disposition",
                        "attachment; filename=\"vextral-" + std::to_string(id) + ".replay\"");
    response.set_content(std::string(bytes->begin(), bytes->end()), "application/octet-stream");
  });
  http.Get("/api/table", [this](const httplib::Request& request, httplib::Response& response) {
    int count = kDefaultTableSize;
    if (request.has_param("n")) {
      const std::string text = request.get_param_value("n");
      const char* end = text.data() + text.size();
      const auto parsed = std::from_chars(text.data(), end, count);
      if (parsed.ec != std::errc() || parsed.ptr != end || count < 1 || count > kMaxTableSize)
        return answer_error(response, 400, "bad_count",
                            "n must be a whole number from 1 to " + std::to_string(kMaxTableSize));
    }
    std::string json = "{\"games\":[";
    bool first = true;
    for (const game_record& game : store_->table(count)) {
      if (!first) json += ",";
      first = false;
      json += game_json(game);
    }
    answer_json(response, 200, json + "]}");
  });
  http.Get("/", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content(hall_page(store_->table(kMaxTableSize), settings.max_frames,
                                   settings.max_upload_bytes, page_mounted),
                         "text/html; charset=utf-8");
  });
  http.Get("/health", [this](const httplib::Request&, httplib::Response& response) {
    answer_json(response, 200,
                "{\"status\":\"ok\",\"queue\":" + std::to_string(store_->queue_length()) + "}");
  });
  http.Get("/metrics", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content(metrics_->text(store_->queue_length()), "text/plain; version=0.0.4");
  });

  // Every refusal is JSON, httplib's own ones (an unknown path, a body over the cap) too.
  http.set_error_handler(httplib::Server::HandlerWithResponse(
      [this](const httplib::Request& request, httplib::Response& response) {
        if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        if (response.status == 413 &&
            request.get_header_value("Content-Type") == "application/x-www-form-urlencoded") {
          // httplib reads such a body as form fields, and takes only a few kilobytes of them.
          metrics_->submission_rejected("wrong_type");
          answer_error(response, 413, "wrong_type",
                       "send the recording as application/octet-stream (curl: -H "
                       "'Content-Type: application/octet-stream') or as a multipart form");
        } else if (response.status == 413) {
          metrics_->submission_rejected("too_large");
          answer_error(
              response, 413, "too_large",
              "the request is larger than " + std::to_string(settings.max_upload_bytes) + " bytes");
        } else if (response.status == 404) {
          answer_error(response, 404, "not_found", "nothing here");
        } else {
          answer_error(response, response.status, "http_" + std::to_string(response.status),
                       "the request could not be read or served");
        }
        return httplib::Server::HandlerResponse::Handled;
      }));
  http.set_exception_handler(
      [](const httplib::Request&, httplib::Response& response, std::exception_ptr failure) {
        std::string what = "unknown failure";
        try {
          std::rethrow_exception(failure);
        } catch (const std::exception& exception) {
          what = exception.what();
        } catch (...) {
        }
        std::fprintf(stderr, "hall: %s\n", what.c_str());
        answer_error(response, 503, "unavailable", "the hall cannot serve this now");
      });
}

hall_server::hall_server(server_settings settings) : impl_(std::make_unique<impl>(settings)) {
  httplib::Server& http = impl_->http;
  http.set_payload_max_length(settings.max_upload_bytes + kFormOverhead);
  http.set_read_timeout(settings.timeout_seconds, 0);
  http.set_write_timeout(settings.timeout_seconds, 0);
  http.set_keep_alive_timeout(5);
  // A response goes out in more than one write; without this, a kept-alive client waits for
  // its delayed acknowledgement (40 ms) before the second part is sent.
  http.set_tcp_nodelay(true);
  http.set_default_headers(
      {{"X-Content-Type-Options", "nosniff"}, {"Content-Security-Policy", kHallPolicy}});
  if (!settings.page_dir.empty()) serve_page(settings.page_dir);
}

bool hall_server::page_served() const {
  return impl_->page_mounted;
}

void hall_server::serve_page(const std::string& folder) {
  httplib::Server& http = impl_->http;
  impl_->page_mounted = http.set_mount_point(kPageMount, folder);
  if (!impl_->page_mounted) return;
  http.set_file_extension_and_mimetype_mapping("wasm", "application/wasm");
  http.set_file_extension_and_mimetype_mapping("webmanifest", "application/manifest+json");
  http.set_file_extension_and_mimetype_mapping("data", "application/octet-stream");
  http.set_file_extension_and_mimetype_mapping("ogg", "audio/ogg");
  http.set_file_request_handler([](const httplib::Request&, httplib::Response& response) {
    // Only the page's own policy: a second one would be enforced as well.
    response.headers.erase("Content-Security-Policy");
    response.set_header("Content-Security-Policy", kPagePolicy);
    // A new build replaces the files under the same names: the browser asks each time
    // (the service worker keeps the page for offline play).
    response.set_header("Cache-Control", "no-cache");
  });
  http.Get("/play", [](const httplib::Request&, httplib::Response& response) {
    response.set_redirect("/play/?hall=/");
  });
}

hall_server::~hall_server() = default;

int hall_server::bind(const std::string& host, int port) {
  if (port == 0) return impl_->http.bind_to_any_port(host);
  return impl_->http.bind_to_port(host, port) ? port : -1;
}

void hall_server::run(hall_store& store, hall_metrics& metrics, std::function<void()> on_queued) {
  impl_->store_ = &store;
  impl_->metrics_ = &metrics;
  impl_->on_queued = std::move(on_queued);
  impl_->routes();
  impl_->http.listen_after_bind();
}

void hall_server::stop() {
  impl_->http.stop();
}
