#pragma once
// Sending a kept recording to a hall of fame server (vextral --send): the only time the
// game goes online, and only when the player asks. It posts the recording, says where the
// game can be followed, then asks the hall about it until its verdict comes (or a bound
// passes). It opens no window and no audio. Each step is one plain line: what the hall
// said on stdout, a failure on stderr prefixed "vextral:".
//
// The HTTP itself is one file per system (hall_client.h); a build without an HTTP client
// says that --send is not available there and points to the hall's own upload form.

#include <string>

struct hall_send_request {
  std::string recording;  // "best", "last" (the kept games) or a file's path
  std::string name;       // the name the game is ranked under; the hall checks it
  std::string hall_url;   // http://HOST[:PORT][/PATH] or https://..., the hall's page
};

// What send_to_hall returns, as the process's exit status.
enum hall_send_status {
  hall_send_verified = 0,    // the hall replayed the game and ranked it
  hall_send_refused = 1,     // the hall refused it, at the door or after replaying it
  hall_send_not_sent = 2,    // nothing sent: no recording, a bad address, hall unreachable
  hall_send_no_verdict = 3,  // sent, but no verdict within the wait (it may still come)
};

// Sends the recording and waits for the verdict. Never throws.
int send_to_hall(const hall_send_request& request);

// A hall's address, taken apart.
struct hall_address {
  std::string scheme;  // "http" or "https"
  std::string host;    // a name, an IPv4 address or a bracketed IPv6 one ("[::1]")
  int port = 0;
  std::string base;  // the path the hall's API lies under, "" or "/path" (no final "/")
};
// Parses http[s]://HOST[:PORT][/PATH]; false with a short reason when it is not one.
bool parse_hall_url(const std::string& url, hall_address& address, std::string& error);
// The value of a flat JSON object's member (a string unescaped, a number as written);
// false when the object has no such member.
bool json_member(const std::string& json, const std::string& key, std::string& value);
