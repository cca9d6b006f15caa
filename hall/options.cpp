#include "hall/options.h"

#include <charconv>

namespace {

bool parse_number(const std::string& text, long long low, long long high, long long& value) {
  const char* end = text.data() + text.size();
  const auto parsed = std::from_chars(text.data(), end, value);
  return parsed.ec == std::errc() && parsed.ptr == end && value >= low && value <= high;
}

}  // namespace

const char* hall_usage() {
  return "usage: vextral-hall --data DIR [--database CONNECTION] [--host ADDRESS] [--port N]\n"
         "                    [--workers N] [--user NAME] [--max-minutes N]\n"
         "                    [--verify-cpu-seconds N] [--verify-memory-mb N]\n"
         "                    [--submissions-per-minute N] [--max-upload-kib N] [--page DIR]\n"
         "Serves the Vextral hall of fame on ADDRESS:PORT (127.0.0.1:8734), keeping its games\n"
         "in DIR/hall.sqlite, or with --database in PostgreSQL (a libpq connection string,\n"
         "postgresql://USER@HOST/DATABASE or host=... dbname=...), which several halls may\n"
         "share. Port 0 takes any free port; the one taken is printed. --page serves the game's\n"
         "browser page (a folder built by tools/web/build.sh) under /play/, where it reaches\n"
         "this hall: /play/?hall=/.";
}

bool parse_hall_arguments(const std::vector<std::string>& arguments, hall_options& options,
                          std::string& error) {
  for (size_t index = 0; index < arguments.size(); ++index) {
    const std::string& option = arguments[index];
    if (option == "--help" || option == "-h") {
      error.clear();
      return false;
    }
    if (index + 1 >= arguments.size()) {
      error = option + " needs a value";
      return false;
    }
    const std::string& value = arguments[++index];
    long long number = 0;
    auto numeric = [&](long long low, long long high) {
      if (parse_number(value, low, high, number)) return true;
      error = option + " needs a whole number from " + std::to_string(low) + " to " +
              std::to_string(high);
      return false;
    };
    if (option == "--verify") {
      options.verify = true;
      options.verify_file = value;
    } else if (option == "--sim-data") {
      options.sim_data = value;
    } else if (option == "--data") {
      options.data_dir = value;
    } else if (option == "--database") {
      if (value.empty()) {
        error = "--database needs a PostgreSQL connection string";
        return false;
      }
      options.database = value;
    } else if (option == "--host") {
      options.host = value;
    } else if (option == "--page") {
      if (value.empty()) {
        error = "--page needs the folder of the built page";
        return false;
      }
      options.server.page_dir = value;
    } else if (option == "--user") {
      options.user = value;
    } else if (option == "--port") {
      if (!numeric(0, 65535)) return false;
      options.port = static_cast<int>(number);
    } else if (option == "--workers") {
      if (!numeric(1, 64)) return false;
      options.workers = static_cast<int>(number);
    } else if (option == "--max-minutes") {
      if (!numeric(1, 24 * 60)) return false;
      options.limits.max_frames = static_cast<int32_t>(number * 3600);
    } else if (option == "--max-frames") {
      if (!numeric(1, INT32_MAX)) return false;
      options.limits.max_frames = static_cast<int32_t>(number);
    } else if (option == "--verify-cpu-seconds" || option == "--cpu-seconds") {
      if (!numeric(1, 3600)) return false;
      options.limits.cpu_seconds = static_cast<int>(number);
    } else if (option == "--verify-memory-mb" || option == "--memory-mb") {
      if (!numeric(0, 1 << 20)) return false;
      options.limits.memory_mb = static_cast<int>(number);
    } else if (option == "--submissions-per-minute") {
      if (!numeric(1, 1000000)) return false;
      options.server.submissions_per_minute = static_cast<double>(number);
    } else if (option == "--max-upload-kib") {
      // Below the replay reader's own 32 MiB cap.
      if (!numeric(1, 16 * 1024)) return false;
      options.server.max_upload_bytes = static_cast<size_t>(number) << 10;
    } else {
      error = "unknown option " + option;
      return false;
    }
  }
  if (options.verify) {
    if (options.sim_data.empty()) {
      error = "--verify needs --sim-data";
      return false;
    }
  } else if (options.data_dir.empty()) {
    error = "--data DIR is needed";
    return false;
  }
  options.server.max_frames = options.limits.max_frames;
  return true;
}
