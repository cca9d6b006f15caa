#include "game/hall_send.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <thread>
#include <vector>

#include "game/hall_client.h"
#include "game/notice.h"
#include "game/replay/files.h"
#include "game/replay/format.h"
#include "game/system_message.h"
#include "stream/regular_file.h"

namespace {

// How long the verdict is waited for: a verification takes seconds to a few minutes (the
// hall's CPU limit), after any games queued before it.
constexpr auto kVerdictWait = std::chrono::minutes(10);
constexpr auto kPollInterval = std::chrono::milliseconds(500);

// Text from the hall, made safe to print: control characters (which could move the
// cursor or recolour the terminal) become '?'.
std::string printable(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return out;
}

std::string member(const std::string& json, const std::string& key) {
  std::string value;
  json_member(json, key, value);
  return printable(value);
}

void say_failure(const std::string& text) {
  std::fprintf(stderr, "vextral: %s\n", text.c_str());
}

// The name as a query value: unreserved characters as they are, every other byte
// percent-encoded (so a name in any script reaches the hall byte for byte).
std::string query_value(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
        (byte >= '0' && byte <= '9') || c == '-' || c == '_' || c == '.' || c == '~') {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    }
  }
  return out;
}

std::string shown_url(const hall_address& hall) {
  const bool usual_port =
      (hall.scheme == "http" && hall.port == 80) || (hall.scheme == "https" && hall.port == 443);
  return hall.scheme + "://" + hall.host + (usual_port ? "" : ":" + std::to_string(hall.port)) +
         hall.base;
}

bool read_recording(const std::string& name, std::vector<uint8_t>& bytes) {
  const std::string path = replay_path_for(name);
  std::string error;
  const file_refusal refusal = read_regular_file_why(path, replay_max_file_size, bytes, error);
  if (refusal == file_refusal::none) return true;
  if (path != name && refusal == file_refusal::absent)
    say_failure("no " + name + " game to send yet: it is kept as " + shown_path(path) +
                " once a game has been played");
  else
    say_failure("cannot send " + shown_path(path) + ": " + error);
  return false;
}

// Says a refusal at the door (a 4xx with the hall's JSON error).
int said_refusal(const hall_answer& answer, const std::string& url) {
  const std::string code = member(answer.body, "error");
  std::string line = "refused: " + member(answer.body, "reason") + " (" + code + ")";
  if (code == "duplicate" && !member(answer.body, "id").empty())
    line += "; it is game " + member(answer.body, "id") + ": " + url + "/api/games/" +
            member(answer.body, "id");
  if (!answer.retry_after.empty())
    line += "; try again in " + printable(answer.retry_after) + " seconds";
  std::printf("%s\n", line.c_str());
  return hall_send_refused;
}

int wait_for_verdict(const hall_address& hall, const std::string& id, const std::string& url) {
  const auto deadline = std::chrono::steady_clock::now() + kVerdictWait;
  std::string last_status = "queued";
  std::string last_error;
  while (std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kPollInterval);
    hall_answer answer;
    std::string error;
    if (!hall_get(hall, hall.base + "/api/games/" + id, answer, error)) {
      last_error = error;  // a dropped connection is tried again until the deadline
      continue;
    }
    if (answer.status != 200) {
      last_error = "the hall answered HTTP " + std::to_string(answer.status);
      continue;
    }
    const std::string status = member(answer.body, "status");
    if (status == "verified") {
      std::printf("verified: score %s, level %s, %s frames\n", member(answer.body, "score").c_str(),
                  member(answer.body, "level").c_str(), member(answer.body, "frames").c_str());
      return hall_send_verified;
    }
    if (status == "refused") {
      const std::string detail = member(answer.body, "detail");
      std::printf("refused: %s%s\n", member(answer.body, "reason").c_str(),
                  detail.empty() ? "" : (": " + detail).c_str());
      return hall_send_refused;
    }
    if (status == "verifying" && last_status != status)
      std::printf("verifying: the hall is replaying the game\n");
    if (!status.empty()) last_status = status;
    std::fflush(stdout);
  }
  say_failure(
      "no verdict after " +
      std::to_string(std::chrono::duration_cast<std::chrono::minutes>(kVerdictWait).count()) +
      " minutes (the game is " + last_status + (last_error.empty() ? "" : "; last: " + last_error) +
      "); follow it at " + url + "/api/games/" + id);
  return hall_send_no_verdict;
}

int send(const hall_send_request& request) {
  std::string why_not;
  if (!hall_client_available(why_not)) {
    report_stopping_failure("vextral", why_not);
    return hall_send_not_sent;
  }
  hall_address hall;
  std::string error;
  if (!parse_hall_url(request.hall_url, hall, error)) {
    say_failure("bad hall address \"" + printable(request.hall_url) + "\": " + error);
    return hall_send_not_sent;
  }
  std::vector<uint8_t> recording;
  if (!read_recording(request.recording, recording)) return hall_send_not_sent;

  const std::string url = shown_url(hall);
  hall_answer answer;
  if (!hall_post(hall, hall.base + "/api/games?name=" + query_value(request.name), recording,
                 answer, error)) {
    say_failure("cannot reach the hall at " + url + ": " + error);
    return hall_send_not_sent;
  }
  const std::string code = member(answer.body, "error");
  if (answer.status >= 400 && answer.status < 500 && !code.empty())
    return said_refusal(answer, url);
  const std::string id = member(answer.body, "id");
  if (answer.status != 202 || id.empty() ||
      id.find_first_not_of("0123456789") != std::string::npos) {
    std::string line = answer.status >= 500 ? "the hall at " + url + " cannot take games now"
                                            : url + " did not take the game as a hall does";
    line += " (HTTP " + std::to_string(answer.status) + ")";
    if (!code.empty()) line += ": " + member(answer.body, "reason");
    say_failure(line);
    return hall_send_not_sent;
  }
  std::printf("accepted: game %s is queued for verification; follow it at %s/api/games/%s\n",
              id.c_str(), url.c_str(), id.c_str());
  std::fflush(stdout);
  return wait_for_verdict(hall, id, url);
}

}  // namespace

int send_to_hall(const hall_send_request& request) {
  try {
    return send(request);
  } catch (const std::exception& failure) {
    say_failure(std::string("sending failed: ") + failure.what());
    return hall_send_not_sent;
  }
}

bool parse_hall_url(const std::string& url, hall_address& address, std::string& error) {
  address = hall_address{};
  const size_t scheme_end = url.find("://");
  if (scheme_end == std::string::npos) {
    error = "it should start with http:// or https://";
    return false;
  }
  address.scheme = url.substr(0, scheme_end);
  for (char& c : address.scheme)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (address.scheme != "http" && address.scheme != "https") {
    error = "only http:// and https:// are understood";
    return false;
  }
  const size_t authority_start = scheme_end + 3;
  size_t authority_end = url.find_first_of("/?#", authority_start);
  if (authority_end == std::string::npos) authority_end = url.size();
  const std::string authority = url.substr(authority_start, authority_end - authority_start);
  if (authority.find('@') != std::string::npos) {
    error = "a user or password in the address is not used";
    return false;
  }
  size_t port_colon = std::string::npos;
  if (!authority.empty() && authority[0] == '[') {
    const size_t close = authority.find(']');
    if (close == std::string::npos || close == 1) {
      error = "an IPv6 address needs its closing ]";
      return false;
    }
    address.host = authority.substr(0, close + 1);
    if (close + 1 < authority.size()) {
      if (authority[close + 1] != ':') {
        error = "unexpected text after the IPv6 address";
        return false;
      }
      port_colon = close + 1;
    }
  } else {
    port_colon = authority.find(':');
    address.host = authority.substr(0, port_colon);
  }
  if (address.host.empty()) {
    error = "no host name";
    return false;
  }
  for (char c : address.host)
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) {
      error = "the host name holds a space or a control character";
      return false;
    }
  address.port = address.scheme == "https" ? 443 : 80;
  if (port_colon != std::string::npos) {
    const std::string port = authority.substr(port_colon + 1);
    if (port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos || std::stoi(port) < 1 ||
        std::stoi(port) > 65535) {
      error = "the port should be a number from 1 to 65535";
      return false;
    }
    address.port = std::stoi(port);
  }
  if (authority_end < url.size() && url[authority_end] != '/') {
    error = "a query or fragment in the address is not used";
    return false;
  }
  std::string base = url.substr(authority_end);
  for (char c : base)
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F || c == '?' || c == '#') {
      error = "the path holds a space, a control character, a query or a fragment";
      return false;
    }
  while (!base.empty() && base.back() == '/') base.pop_back();
  address.base = base;
  return true;
}

bool json_member(const std::string& json, const std::string& key, std::string& value) {
  // Finds "key" as a member name: a string followed by ':' (a value equal to the key is
  // skipped because its string is followed by ',' or '}').
  const std::string quoted = "\"" + key + "\"";
  size_t at = 0;
  while ((at = json.find(quoted, at)) != std::string::npos) {
    size_t next = at + quoted.size();
    while (next < json.size() && (json[next] == ' ' || json[next] == '\t')) ++next;
    if (next < json.size() && json[next] == ':') {
      at = next + 1;
      break;
    }
    at += quoted.size();
  }
  if (at == std::string::npos) return false;
  while (at < json.size() && (json[at] == ' ' || json[at] == '\t' || json[at] == '\n')) ++at;
  value.clear();
  if (at < json.size() && json[at] == '"') {
    for (size_t i = at + 1; i < json.size(); ++i) {
      const char c = json[i];
      if (c == '"') return true;
      if (c != '\\') {
        value += c;
        continue;
      }
      if (++i >= json.size()) return false;
      const char escaped = json[i];
      if (escaped == 'n')
        value += '\n';
      else if (escaped == 't')
        value += '\t';
      else if (escaped == 'r')
        value += '\r';
      else if (escaped == 'b')
        value += '\b';
      else if (escaped == 'f')
        value += '\f';
      else if (escaped == 'u') {
        if (i + 4 >= json.size()) return false;
        unsigned code = 0;
        for (int digit = 1; digit <= 4; ++digit) {
          const char h = json[i + digit];
          code <<= 4;
          if (h >= '0' && h <= '9')
            code |= static_cast<unsigned>(h - '0');
          else if (h >= 'a' && h <= 'f')
            code |= static_cast<unsigned>(h - 'a' + 10);
          else if (h >= 'A' && h <= 'F')
            code |= static_cast<unsigned>(h - 'A' + 10);
          else
            return false;
        }
        i += 4;
        // As UTF-8; surrogate halves, which a hall never sends, become '?'.
        if (code < 0x80) {
          value += static_cast<char>(code);
        } else if (code < 0x800) {
          value += static_cast<char>(0xC0 | (code >> 6));
          value += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code >= 0xD800 && code <= 0xDFFF) {
          value += '?';
        } else {
          value += static_cast<char>(0xE0 | (code >> 12));
          value += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
          value += static_cast<char>(0x80 | (code & 0x3F));
        }
      } else {
        value += escaped;  // '"', '\\', '/'
      }
    }
    return false;  // an unterminated string
  }
  const size_t end = json.find_first_of(",}] \t\n", at);
  value = json.substr(at, end == std::string::npos ? std::string::npos : end - at);
  return !value.empty();
}
