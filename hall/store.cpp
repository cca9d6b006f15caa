#include "hall/store.h"

const char* status_name(game_status status) {
  switch (status) {
    case game_status::queued:
      return "queued";
    case game_status::verifying:
      return "verifying";
    case game_status::verified:
      return "verified";
    case game_status::refused:
      return "refused";
  }
  return "queued";
}

game_status status_from_name(const std::string& name) {
  if (name == "verifying") return game_status::verifying;
  if (name == "verified") return game_status::verified;
  if (name == "refused") return game_status::refused;
  return game_status::queued;
}
