// The Windows version sends nothing itself: a player there sends a kept recording with the
// upload form on the hall's page.
#include "game/hall_client.h"

bool hall_client_available(std::string& why_not) {
  why_not =
      "--send is not available in the Windows version: send the recording (best.replay or "
      "last.replay in %APPDATA%\\Vextral, or beside vextral.exe) with the upload form on the "
      "hall's page";
  return false;
}

bool hall_post(const hall_address&, const std::string&, const std::vector<uint8_t>&, hall_answer&,
               std::string& error) {
  error = "not available on Windows";
  return false;
}

bool hall_get(const hall_address&, const std::string&, hall_answer&, std::string& error) {
  error = "not available on Windows";
  return false;
}
