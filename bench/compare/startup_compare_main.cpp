// Times a program from exec to its first presented frame with content, through the
// first_frame_probe library preloaded into it. Usage:
//   startup_compare KEY PROBE_LIBRARY PROGRAM [--quick]
// Prints KEY_ms: the median over 7 launches (3 with --quick).

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "bench/compare/bench_clock.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: startup_compare KEY PROBE_LIBRARY PROGRAM [--quick]\n");
    return 2;
  }
  const int32_t launches = bench::quick(argc, argv) ? 3 : 7;
  const std::string stamp_file = "/tmp/first_frame_" + std::to_string(getpid());
  std::vector<double> times;
  for (int32_t i = 0; i < launches; ++i) {
    std::remove(stamp_file.c_str());
    const double start = bench::now_seconds();
    const pid_t child = fork();
    if (child == 0) {
      setenv("LD_PRELOAD", argv[2], 1);
      setenv("FIRST_FRAME_FILE", stamp_file.c_str(), 1);
      execl(argv[3], argv[3], static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    bool done = false;
    for (int32_t waited = 0; waited < 3000 && !done; ++waited) {
      done = waitpid(child, &status, WNOHANG) == child;
      if (!done) usleep(10000);
    }
    if (!done) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
    }
    std::ifstream file(stamp_file);
    long long stamp_ns = 0;
    if (!(file >> stamp_ns)) {
      std::fprintf(stderr, "bench: %s presented no frame\n", argv[3]);
      continue;
    }
    times.push_back(static_cast<double>(stamp_ns) * 1e-9 - start);
  }
  std::remove(stamp_file.c_str());
  if (times.empty()) return 1;
  bench::report((std::string(argv[1]) + "_ms").c_str(), bench::percentile(times, 50.0) * 1e3);
  return 0;
}
