// A load on a running hall of fame: reader threads ask for the table as fast as it answers,
// each on a kept-alive connection of its own, while one submitter posts recordings at a
// steady pace, so the table is served while games are being verified. Prints one JSON
// object: the table's requests a second, its latency percentiles, and what the submitter
// got back.
//
//   hall_load --port N --seconds S --readers N [--submit DIR --submit-every-ms MS]

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

using load_clock = std::chrono::steady_clock;

struct load_options {
  int port = 0;
  double seconds = 10;
  int readers = 4;
  std::string submit_dir;
  int submit_every_ms = 500;
};

struct reader_result {
  std::vector<double> latencies_ms;
  int64_t failures = 0;
};

struct submitter_result {
  int64_t accepted = 0, refused = 0, failures = 0;
};

bool parse(int argc, char** argv, load_options& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i], value = argv[i + 1];
    if (option == "--port") {
      options.port = std::atoi(value.c_str());
    } else if (option == "--seconds") {
      options.seconds = std::atof(value.c_str());
    } else if (option == "--readers") {
      options.readers = std::atoi(value.c_str());
    } else if (option == "--submit") {
      options.submit_dir = value;
    } else if (option == "--submit-every-ms") {
      options.submit_every_ms = std::atoi(value.c_str());
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && options.port > 0 && options.seconds > 0 && options.readers > 0 &&
         options.submit_every_ms > 0;
}

reader_result read_table(int port, load_clock::time_point end) {
  reader_result result;
  httplib::Client client("127.0.0.1", port);
  client.set_keep_alive(true);
  while (load_clock::now() < end) {
    const auto start = load_clock::now();
    const auto response = client.Get("/api/table?n=10");
    const std::chrono::duration<double, std::milli> took = load_clock::now() - start;
    if (response && response->status == 200) {
      result.latencies_ms.push_back(took.count());
    } else {
      ++result.failures;
    }
  }
  return result;
}

std::vector<std::string> recordings_in(const std::string& folder) {
  std::vector<std::string> paths;
  if (folder.empty()) return paths;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.is_regular_file()) paths.push_back(entry.path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

submitter_result submit(const load_options& options, load_clock::time_point end) {
  submitter_result result;
  httplib::Client client("127.0.0.1", options.port);
  auto next = load_clock::now();
  for (const std::string& path : recordings_in(options.submit_dir)) {
    std::this_thread::sleep_until(next);
    if (load_clock::now() >= end) break;
    next += std::chrono::milliseconds(options.submit_every_ms);
    std::ifstream file(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    const auto response = client.Post("/api/games?name=bench", bytes, "application/octet-stream");
    if (!response) {
      ++result.failures;
    } else if (response->status == 202) {
      ++result.accepted;
    } else {
      ++result.refused;
    }
  }
  return result;
}

double percentile(const std::vector<double>& sorted, double fraction) {
  if (sorted.empty()) return 0;
  const size_t index = std::min(sorted.size() - 1, static_cast<size_t>(fraction * sorted.size()));
  return sorted[index];
}

}  // namespace

int main(int argc, char** argv) {
  load_options options;
  if (!parse(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: hall_load --port N [--seconds S] [--readers N] [--submit DIR] "
                 "[--submit-every-ms MS]\n");
    return 2;
  }
  const auto start = load_clock::now();
  const auto end = start + std::chrono::duration_cast<load_clock::duration>(
                               std::chrono::duration<double>(options.seconds));
  std::vector<reader_result> readers(static_cast<size_t>(options.readers));
  submitter_result submitted;
  {
    std::vector<std::jthread> threads;
    for (reader_result& reader : readers) {
      threads.emplace_back([&reader, &options, end] { reader = read_table(options.port, end); });
    }
    threads.emplace_back([&submitted, &options, end] { submitted = submit(options, end); });
  }
  const std::chrono::duration<double> elapsed = load_clock::now() - start;

  std::vector<double> latencies;
  int64_t failures = 0;
  for (const reader_result& reader : readers) {
    latencies.insert(latencies.end(), reader.latencies_ms.begin(), reader.latencies_ms.end());
    failures += reader.failures;
  }
  std::sort(latencies.begin(), latencies.end());
  std::printf(
      "{\"seconds\": %.2f, \"readers\": %d, \"table_requests\": %zu, \"table_failures\": %lld, "
      "\"table_per_second\": %.1f, \"table_p50_ms\": %.3f, \"table_p99_ms\": %.3f, "
      "\"table_max_ms\": %.3f, \"submitted\": %lld, \"refused\": %lld, "
      "\"submit_failures\": %lld}\n",
      elapsed.count(), options.readers, latencies.size(), static_cast<long long>(failures),
      static_cast<double>(latencies.size()) / elapsed.count(), percentile(latencies, 0.5),
      percentile(latencies, 0.99), latencies.empty() ? 0.0 : latencies.back(),
      static_cast<long long>(submitted.accepted), static_cast<long long>(submitted.refused),
      static_cast<long long>(submitted.failures));
  return failures == 0 && submitted.failures == 0 ? 0 : 1;
}
