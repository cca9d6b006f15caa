#include "tests/hall/private_postgres.h"

#include <fcntl.h>
#include <grp.h>
#include <libpq-fe.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* kSuperuser = "vextral";
// The socket is in the cluster's own folder, so no other server shares its name.
constexpr const char* kPort = "5432";
// For the server to come up: a bound on a fault, never a measure of speed.
constexpr std::chrono::seconds kDeadline(120);

// Who the server runs as: nobody when the tests run as root, else whoever runs them.
struct server_account {
  bool switch_to = false;
  uid_t uid = 0;
  gid_t gid = 0;
};

server_account account() {
  server_account user;
  if (geteuid() != 0) return user;
  const passwd* nobody = getpwnam("nobody");
  if (!nobody) throw std::runtime_error("postgres: no user nobody to run the server as");
  user.switch_to = true;
  user.uid = nobody->pw_uid;
  user.gid = nobody->pw_gid;
  return user;
}

// A libpq connection string value, quoted.
std::string quoted(const std::string& value) {
  std::string text = "'";
  for (const char character : value) {
    if (character == '\'' || character == '\\') text += '\\';
    text += character;
  }
  return text + "'";
}

// Starts command with its output appended to log; as the server's account when asked, and
// with die_with_us, killed (SIGQUIT, PostgreSQL's immediate stop) if this process dies.
pid_t start(const std::vector<std::string>& command, const std::string& log,
            const server_account* as, bool die_with_us) {
  std::vector<char*> arguments;
  for (const std::string& argument : command)
    arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);
  const pid_t parent = getpid();
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child != 0) return child;
  // Only what is safe between fork and exec from here on.
  if (as && as->switch_to &&
      (setgroups(0, nullptr) != 0 || setgid(as->gid) != 0 || setuid(as->uid) != 0))
    _exit(126);
  // After the change of user, which clears it.
  if (die_with_us && (prctl(PR_SET_PDEATHSIG, SIGQUIT) != 0 || getppid() != parent)) _exit(125);
  const int output = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  const int nothing = open("/dev/null", O_RDONLY);
  if (output < 0 || nothing < 0 || dup2(nothing, 0) < 0 || dup2(output, 1) < 0 ||
      dup2(output, 2) < 0)
    _exit(124);
  execv(arguments[0], arguments.data());
  _exit(127);
}

}  // namespace

std::string private_postgres::binaries() {
  const char* folder = std::getenv("VEXTRAL_POSTGRES_BIN");
  if (!folder) folder = VEXTRAL_POSTGRES_BIN;
  if (!*folder) return {};
  for (const char* program : {"initdb", "postgres", "createdb"})
    if (access((std::string(folder) + "/" + program).c_str(), X_OK) != 0) return {};
  return folder;
}

private_postgres::private_postgres(const std::string& binaries) : binaries_(binaries) {
  const server_account user = account();
  std::string pattern = (fs::temp_directory_path() / "vextral-postgres-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("postgres: cannot make a folder");
  folder_ = pattern;
  // The socket's path must fit in a sockaddr_un.
  if (pattern.size() + sizeof "/.s.PGSQL.5432" > 100) {
    stop();
    throw std::runtime_error("postgres: the temporary folder's path is too long: " + pattern);
  }
  if (user.switch_to && chown(pattern.c_str(), user.uid, user.gid) != 0) {
    stop();
    throw std::runtime_error("postgres: cannot give " + pattern + " to nobody");
  }
  const std::string data = folder_ + "/data";
  if (!run("initdb",
           {"-D", data, "-U", kSuperuser, "-A", "trust", "-E", "UTF8", "--locale=C", "--no-sync",
            "--no-instructions"},
           true)) {
    const std::string output = log();
    stop();
    throw std::runtime_error("postgres: initdb failed:\n" + output);
  }
  // No TCP at all; nothing here needs to survive a crash of the machine.
  server_ = start({binaries_ + "/postgres", "-D", data, "-k", folder_, "-p", kPort, "-c",
                   "listen_addresses=", "-c", "fsync=off"},
                  folder_ + "/log", &user, true);
  const std::string ping = connection_string("postgres");
  const auto give_up = std::chrono::steady_clock::now() + kDeadline;
  for (;;) {
    int status = 0;
    if (server_ < 0 || waitpid(server_, &status, WNOHANG) == server_) {
      server_ = -1;
      const std::string output = log();
      stop();
      throw std::runtime_error("postgres: the server stopped:\n" + output);
    }
    if (PQping(ping.c_str()) == PQPING_OK) return;
    if (std::chrono::steady_clock::now() > give_up) {
      const std::string output = log();
      stop();
      throw std::runtime_error("postgres: the server did not come up:\n" + output);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

private_postgres::~private_postgres() {
  stop();
}

void private_postgres::stop() {
  if (server_ > 0) {
    kill(server_, SIGQUIT);
    int status = 0;
    waitpid(server_, &status, 0);
    server_ = -1;
  }
  std::error_code ignored;
  if (!folder_.empty()) fs::remove_all(folder_, ignored);
  folder_.clear();
}

std::string private_postgres::create_database(const std::string& name) {
  if (!run("createdb", {"-h", folder_, "-p", kPort, "-U", kSuperuser, name}, false))
    throw std::runtime_error("postgres: createdb " + name + " failed:\n" + log());
  return connection_string(name);
}

bool private_postgres::run(const std::string& program, const std::vector<std::string>& arguments,
                           bool as_server_user) {
  std::vector<std::string> command{binaries_ + "/" + program};
  command.insert(command.end(), arguments.begin(), arguments.end());
  const server_account user = account();
  const pid_t child = start(command, folder_ + "/log", as_server_user ? &user : nullptr, false);
  int status = 0;
  return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

std::string private_postgres::connection_string(const std::string& database) const {
  return "host=" + quoted(folder_) + " port=" + kPort + " user=" + kSuperuser +
         " dbname=" + quoted(database);
}

std::string private_postgres::log() const {
  std::ifstream file(folder_ + "/log");
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}
