// The hall's requests through cpp-httplib's client, when the build found it (the hall's
// own HTTP library, so both ends speak it the same way); without it --send says it is not
// available in this build.
#include "game/hall_client.h"

#if VEXTRAL_HALL_CLIENT

#include <httplib.h>

#include <memory>

namespace {

std::unique_ptr<httplib::Client> client_for(const hall_address& hall) {
  auto client = std::make_unique<httplib::Client>(hall.scheme + "://" + hall.host + ":" +
                                                  std::to_string(hall.port));
  client->set_connection_timeout(10, 0);
  client->set_read_timeout(60, 0);
  client->set_write_timeout(60, 0);
  client->set_keep_alive(false);
  return client;
}

bool answered(const httplib::Result& result, hall_answer& answer, std::string& error) {
  if (!result) {
    error = httplib::to_string(result.error());
    if (result.error() == httplib::Error::Connection) error = "no connection";
    return false;
  }
  answer.status = result->status;
  answer.body = result->body;
  answer.retry_after = result->get_header_value("Retry-After");
  return true;
}

}  // namespace

bool hall_client_available(std::string&) {
  return true;
}

bool hall_post(const hall_address& hall, const std::string& path, const std::vector<uint8_t>& body,
               hall_answer& answer, std::string& error) {
  const auto client = client_for(hall);
  if (!client->is_valid()) {
    error = "this build cannot speak " + hall.scheme;
    return false;
  }
  return answered(client->Post(path, reinterpret_cast<const char*>(body.data()), body.size(),
                               "application/octet-stream"),
                  answer, error);
}

bool hall_get(const hall_address& hall, const std::string& path, hall_answer& answer,
              std::string& error) {
  const auto client = client_for(hall);
  if (!client->is_valid()) {
    error = "this build cannot speak " + hall.scheme;
    return false;
  }
  return answered(client->Get(path), answer, error);
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
