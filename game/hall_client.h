#pragma once
// The HTTP requests of hall_send, one implementation file per system
// (hall_client_posix.cpp, hall_client_windows.cpp). Every request is bounded in time:
// connecting, sending and waiting for the answer each give up after a while.

#include <cstdint>
#include <string>
#include <vector>

#include "game/hall_send.h"

struct hall_answer {
  int status = 0;           // the HTTP status
  std::string body;         // the answer's body (JSON from a hall)
  std::string retry_after;  // the Retry-After header, empty when none
};

// Whether this build can send at all; false with the reason to tell the player.
bool hall_client_available(std::string& why_not);
// POSTs body as application/octet-stream to path (with its query) on the hall. False,
// with a short reason, when no answer came.
bool hall_post(const hall_address& hall, const std::string& path, const std::vector<uint8_t>& body,
               hall_answer& answer, std::string& error);
// GETs path on the hall, the same way.
bool hall_get(const hall_address& hall, const std::string& path, hall_answer& answer,
              std::string& error);
