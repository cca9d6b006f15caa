#include "hall/verifier_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

namespace fs = std::filesystem;
using steady = std::chrono::steady_clock;

// The most a verdict line may take; the rest of a child's output is not read.
constexpr size_t kMaxOutput = 4096;

std::string errno_text(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

bool write_file(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

// Removes a verification's folder when it goes out of scope.
struct folder_guard {
  fs::path path;
  ~folder_guard() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
};

struct child_process {
  pid_t pid = -1;
  int output = -1;  // read end of the child's standard output
};

// fork and exec, with only async-signal-safe calls in between: the hall has other threads.
bool start_child(const std::vector<std::string>& arguments, child_process& child,
                 std::string& error) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  int pipe_ends[2];
  if (pipe2(pipe_ends, O_CLOEXEC) != 0) {
    error = errno_text("pipe");
    return false;
  }
  const int null_device = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null_device < 0) {
    error = errno_text("/dev/null");
    close(pipe_ends[0]);
    close(pipe_ends[1]);
    return false;
  }
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // Dies with the hall, even one killed with SIGKILL (checked once more in case the
    // hall died before the request was made).
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(126);
    dup2(null_device, STDIN_FILENO);
    dup2(pipe_ends[1], STDOUT_FILENO);
    dup2(null_device, STDERR_FILENO);
    // Nothing else of the hall's (its listening socket above all) lives on in the child.
    close_range(3, ~0u, 0);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  const int fork_error = errno;
  close(null_device);
  close(pipe_ends[1]);
  if (pid < 0) {
    close(pipe_ends[0]);
    errno = fork_error;
    error = errno_text("fork");
    return false;
  }
  child.pid = pid;
  child.output = pipe_ends[0];
  return true;
}

// Reads the child's output until it closes it or deadline passes; false at the deadline.
bool read_output(int descriptor, steady::time_point deadline, std::string& output) {
  char buffer[512];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - steady::now());
    if (left.count() <= 0) return false;
    pollfd watched{descriptor, POLLIN, 0};
    const int ready = poll(&watched, 1, static_cast<int>(std::min<int64_t>(left.count(), 60000)));
    if (ready < 0 && errno != EINTR) return true;
    if (ready <= 0) continue;
    const ssize_t count = read(descriptor, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return true;
    if (output.size() < kMaxOutput)
      output.append(buffer, std::min(static_cast<size_t>(count), kMaxOutput - output.size()));
  }
}

double cpu_seconds(const rusage& usage) {
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

verdict refused(const char* reason, std::string detail) {
  verdict result;
  result.reason = reason;
  result.detail = std::move(detail);
  return result;
}

}  // namespace

std::vector<std::string> limit_arguments(const verify_limits& limits) {
  return {"--max-frames",  std::to_string(limits.max_frames),
          "--cpu-seconds", std::to_string(limits.cpu_seconds),
          "--memory-mb",   std::to_string(limits.memory_mb)};
}

void apply_verifier_limits(const verify_limits& limits) {
  const rlimit no_core{0, 0};
  setrlimit(RLIMIT_CORE, &no_core);
  // SIGXCPU at the limit, SIGKILL a second later should it be caught or ignored.
  const auto seconds = static_cast<rlim_t>(limits.cpu_seconds);
  const rlimit cpu{seconds, seconds + 1};
  setrlimit(RLIMIT_CPU, &cpu);
  if (limits.memory_mb > 0) {
    const rlim_t bytes = static_cast<rlim_t>(limits.memory_mb) << 20;
    const rlimit memory{bytes, bytes};
    setrlimit(RLIMIT_AS, &memory);
  }
}

verifier_run run_verifier(const verifier_setup& setup, int64_t id,
                          const std::vector<uint8_t>& recording, verdict& result) {
  const auto began = steady::now();
  // A claim no game comes near is refused without starting anything.
  const int64_t claimed = claimed_frame_count(recording);
  if (claimed > setup.limits.max_frames) {
    result = too_long_verdict(claimed, setup.limits);
    return verifier_run::judged;
  }
  const fs::path folder = fs::path(setup.work_folder) / ("game-" + std::to_string(id));
  folder_guard cleanup{folder};
  std::error_code error_code;
  fs::remove_all(folder, error_code);
  fs::create_directories(folder / "data", error_code);
  const fs::path file = folder / "recording.replay";
  if (error_code || !write_file(file, recording)) {
    result = refused("", "cannot write " + file.string());
    return verifier_run::not_started;
  }

  std::vector<std::string> arguments = {setup.executable, "--verify", file.string(), "--sim-data",
                                        (folder / "data").string()};
  for (std::string& argument : limit_arguments(setup.limits))
    arguments.push_back(std::move(argument));
  child_process child;
  std::string error;
  if (!start_child(arguments, child, error)) {
    result = refused("", error);
    return verifier_run::not_started;
  }
  // The CPU limit ends a busy child; this ends one that waits on something instead.
  const auto deadline = began + std::chrono::seconds(3 * setup.limits.cpu_seconds + 10);
  std::string output;
  const bool in_time = read_output(child.output, deadline, output);
  if (!in_time) kill(child.pid, SIGKILL);
  close(child.output);
  int status = 0;
  rusage usage{};
  while (wait4(child.pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  const double seconds = std::chrono::duration<double>(steady::now() - began).count();

  const std::string limit_text = std::to_string(setup.limits.cpu_seconds) + " CPU seconds";
  if (!in_time) {
    result = refused(refusal::took_too_long, "the verification did not end within its time");
  } else if (WIFSIGNALED(status) &&
             (WTERMSIG(status) == SIGXCPU ||
              (WTERMSIG(status) == SIGKILL &&
               cpu_seconds(usage) >= static_cast<double>(setup.limits.cpu_seconds)))) {
    result = refused(refusal::took_too_long, "the replay took more than " + limit_text);
  } else if (WIFEXITED(status) && WEXITSTATUS(status) <= 1 &&
             parse_verdict_line(output.substr(0, output.find('\n')), result)) {
    // The child's own verdict.
  } else if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
    result = refused("", "the verifier could not be started: " + setup.executable);
    return verifier_run::not_started;
  } else if (WIFSIGNALED(status)) {
    result = refused(refusal::verifier_crashed,
                     std::string("the verifier ended on signal ") + strsignal(WTERMSIG(status)));
  } else {
    result = refused(refusal::verifier_crashed,
                     "the verifier ended with status " + std::to_string(WEXITSTATUS(status)));
  }
  result.seconds = seconds;
  return verifier_run::judged;
}
