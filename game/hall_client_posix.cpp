// The hall's requests through cpp-httplib's client, when the build found it (the hall's
// own HTTP library, so both ends speak it the same way); without it --send says it is not
// available in this build.
#include "game/hall_client.h"

#if VEXTRAL_HALL_CLIENT

#include <httplib.h>

#include <chrono>
#include <memory>

namespace {

// A hall's answers are a few hundred bytes; a server that sends more, or keeps sending
// slowly, is cut off rather than waited for.
constexpr uint64_t kLargestAnswer = 1u << 20;
constexpr auto kLongestRequest = std::chrono::seconds(120);

bool request(const hall_address& hall, const char* method, const std::string& path,
             const std::vector<uint8_t>* body, hall_answer& answer, std::string& error) {
  httplib::Client client(hall.scheme + "://" + hall.host + ":" + std::to_string(hall.port));
  if (!client.is_valid()) {
    error = "this build cannot speak " + hall.scheme;
    return false;
  }
  client.set_connection_timeout(10, 0);
  client.set_read_timeout(60, 0);
  client.set_write_timeout(60, 0);
  client.set_keep_alive(false);

  httplib::Request call;
  call.method = method;
  call.path = path;
  if (body) {
    call.body.assign(body->begin(), body->end());
    call.set_header("Content-Type", "application/octet-stream");
  }
  const auto deadline = std::chrono::steady_clock::now() + kLongestRequest;
  bool too_large = false;
  call.progress = [&](uint64_t received, uint64_t) {
    too_large = received > kLargestAnswer;
    return !too_large && std::chrono::steady_clock::now() < deadline;
  };
  httplib::Response response;
  httplib::Error failure = httplib::Error::Success;
  if (!client.send(call, response, failure)) {
    if (too_large)
      error = "its answer was larger than a hall's";
    else if (failure == httplib::Error::Canceled)
      error = "its answer took too long";
    else if (failure == httplib::Error::Connection)
      error = "no connection";
    else
      error = httplib::to_string(failure);
    return false;
  }
  answer.status = response.status;
  answer.body = std::move(response.body);
  answer.retry_after = response.get_header_value("Retry-After");
  return true;
}

}  // namespace

bool hall_client_available(std::string&) {
  return true;
}

bool hall_post(const hall_address& hall, const std::string& path, const std::vector<uint8_t>& body,
               hall_answer& answer, std::string& error) {
  return request(hall, "POST", path, &body, answer, error);
}

bool hall_get(const hall_address& hall, const std::string& path, hall_answer& answer,
              std::string& error) {
  return request(hall, "GET", path, nullptr, answer, error);
}

#else

bool hall_client_available(std::string& why_not) {
  why_not =
      "--send is not available in this build (it was built without cpp-httplib): send the "
      "recording with the upload form on the hall's page";
  return false;
}

bool hall_post(const hall_address&, const std::string&, const std::vector<uint8_t>&, hall_answer&,
               std::string& error) {
  error = "not available in this build";
  return false;
}

bool hall_get(const hall_address&, const std::string&, hall_answer&, std::string& error) {
  error = "not available in this build";
  return false;
}

#endif
