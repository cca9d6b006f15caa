// vextral-hall: the hall of fame server. Every game on its table is one it has played again
// from the recording, in a child process of its own (this same program, run with --verify).

#include <SDL_hints.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include "hall/options.h"
#include "hall/postgres_store.h"
#include "hall/server.h"
#include "hall/sqlite_store.h"
#include "hall/system.h"
#include "hall/verification.h"
#include "hall/verifier_pool.h"
#include "hall/verifier_process.h"
#include "input/session.h"
#include "stream/program_folder.h"

namespace {

// The child: limits on itself first, then the check; its verdict is one line on standard
// output. 0 verified, 1 refused.
int verify(const hall_options& options) {
  apply_verifier_limits(options.limits);
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  const verdict result =
      verify_recording_file(options.verify_file, options.sim_data, options.limits);
  std::printf("%s\n", verdict_line(result).c_str());
  std::fflush(stdout);
  // The verdict is out and nothing is kept: leave without the exit handlers, so nothing
  // that runs on the way out (a leak report in a sanitizer build) changes the status.
  std::_Exit(result.verified ? 0 : 1);
}

int fail(const std::string& message) {
  std::fprintf(stderr, "vextral-hall: %s\n", message.c_str());
  return 2;
}

int serve(const hall_options& options) {
  // Ending signals are taken by one thread with sigwait; every other thread (httplib's and
  // the workers', started later) inherits them blocked.
  sigset_t ending;
  sigemptyset(&ending);
  sigaddset(&ending, SIGINT);
  sigaddset(&ending, SIGTERM);
  sigaddset(&ending, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &ending, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::string error;
  verifier_setup setup;
  setup.executable = own_executable();
  if (setup.executable.empty()) return fail("cannot find its own executable");
  setup.limits = options.limits;
  system_user user;
  const bool as_root = geteuid() == 0;
  if (as_root && options.user.empty())
    return fail("refusing to run as root: give --user NAME to serve as that user");
  if (!options.user.empty() && !find_user(options.user, user, error)) return fail(error);

  hall_metrics metrics;
  std::unique_ptr<hall_store> store;
  std::unique_ptr<verifier_pool> pool;
  hall_server server(options.server);
  if (!options.server.page_dir.empty() && !server.page_served())
    return fail("--page " + options.server.page_dir + " is not a folder");
  // The port is bound before root is given up, so a port below 1024 works too.
  const int port = server.bind(options.host, options.port);
  if (port < 0)
    return fail("cannot listen on " + options.host + ":" + std::to_string(options.port));
  if (!options.user.empty() && !become_user(user, error)) return fail(error);

  const std::string data = std::filesystem::absolute(options.data_dir).string();
  if (!lock_data_folder(data, error)) return fail(error);
  setup.work_folder = data + "/work";
  std::error_code ignored;
  std::filesystem::remove_all(setup.work_folder, ignored);
  std::string games_where = data;
  try {
    if (options.database.empty()) {
      store = std::make_unique<sqlite_store>(data + "/hall.sqlite");
    } else {
      auto shared = std::make_unique<postgres_store>(options.database);
      games_where = shared->where();
      store = std::move(shared);
    }
    const int64_t resumed = store->requeue_unfinished();
    if (resumed > 0)
      std::fprintf(stderr, "vextral-hall: %lld unfinished verifications queued again\n",
                   static_cast<long long>(resumed));
  } catch (const store_failure& failure) {
    return fail(failure.what());
  }
  pool = std::make_unique<verifier_pool>(*store, metrics, setup, options.workers);

  std::thread([&server, ending] {
    int signal_number = 0;
    sigwait(&ending, &signal_number);
    server.stop();
  }).detach();
  std::printf("vextral-hall: serving http://%s:%d/ from %s\n", options.host.c_str(), port,
              games_where.c_str());
  std::fflush(stdout);
  server.run(*store, metrics, [&pool] { pool->wake(); });
  pool->stop();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  KeepStandardStreamsOpen();
  const std::vector<std::string> arguments = ProgramArguments(argc, argv);
  hall_options options;
  std::string error;
  if (!parse_hall_arguments(arguments, options, error)) {
    if (error.empty()) {
      std::printf("%s\n", hall_usage());
      return 0;
    }
    std::fprintf(stderr, "vextral-hall: %s\n%s\n", error.c_str(), hall_usage());
    return 2;
  }
  return options.verify ? verify(options) : serve(options);
}
