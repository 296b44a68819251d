#include "simulated_mac.h"

#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace bnch::systest {
namespace fs = std::filesystem;

namespace {

constexpr int kSimUid = 501;
constexpr int kSimGid = 20;

fs::path makeTempDir(const char* prefix) {
  std::string tmpl = (fs::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp: " + std::string(std::strerror(errno)));
  return tmpl;
}

void removeAll(const fs::path& p) {
  // Folders laid out by macsim may lack write bits; open them before removing.
  ::nftw(
      p.c_str(),
      [](const char* f, const struct stat* st, int type, struct FTW*) {
        if (type == FTW_D || type == FTW_DP) ::chmod(f, (st->st_mode & 07777) | 0700);
        return 0;
      },
      32, FTW_PHYS);
  std::error_code ec;
  fs::remove_all(p, ec);
}

// Runs argv, feeding `input` and collecting both outputs without deadlocking on full pipes.
MacRun spawnAndCollect(const std::vector<std::string>& argv, const std::string& input) {
  int inPipe[2], outPipe[2], errPipe[2];
  if (::pipe(inPipe) || ::pipe(outPipe) || ::pipe(errPipe)) throw std::runtime_error("pipe failed");
  for (int fd : {inPipe[1], outPipe[0], errPipe[0]}) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, inPipe[0], 0);
  posix_spawn_file_actions_adddup2(&fa, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&fa, errPipe[1], 2);
  for (int fd : {inPipe[0], outPipe[1], errPipe[1]}) posix_spawn_file_actions_addclose(&fa, fd);
  std::vector<char*> cargv;
  std::vector<std::string> copy = argv;
  for (auto& a : copy) cargv.push_back(a.data());
  cargv.push_back(nullptr);
  pid_t pid = 0;
  const int rc = ::posix_spawn(&pid, cargv[0], &fa, nullptr, cargv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  for (int fd : {inPipe[0], outPipe[1], errPipe[1]}) ::close(fd);
  if (rc != 0) {
    for (int fd : {inPipe[1], outPipe[0], errPipe[0]}) ::close(fd);
    throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
  }
  MacRun run;
  size_t written = 0;
  int inFd = inPipe[1];
  if (input.empty()) {
    ::close(inFd);
    inFd = -1;
  } else {
    ::fcntl(inFd, F_SETFL, O_NONBLOCK);
  }
  pollfd fds[3] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}, {inFd, POLLOUT, 0}};
  int open = 2;
  char buf[16384];
  while (open > 0 || fds[2].fd >= 0) {
    if (::poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        (i == 0 ? run.out : run.err).append(buf, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
    if (fds[2].fd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
      const ssize_t n = ::write(fds[2].fd, input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<size_t>(n);
      if (n < 0 && errno != EAGAIN && errno != EINTR) written = input.size();
      if (written >= input.size()) {
        ::close(fds[2].fd);
        fds[2].fd = -1;
      }
    }
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

}  // namespace

fs::path scenarioPath(std::string_view name) {
  const std::string n(name);
  if (n.size() > 5 && n.substr(n.size() - 5) == ".json") return n;
  return fs::path(BNCH_SYSTEM_SCENARIOS_DIR) / (n + ".json");
}

fs::path macsimPath() { return BNCH_MACSIM_PATH; }
fs::path doctorPath() { return BNCH_DOCTOR_PATH; }

bool sandboxAvailable() {
  static const bool ok = [] {
    try {
      return runInMac("fresh-mac", {"/usr/bin/true"}).exitCode == 0;
    } catch (const std::exception&) {
      return false;
    }
  }();
  return ok;
}

MacRun runInMac(std::string_view scenario, const std::vector<std::string>& command, const MacRunOptions& options) {
  std::vector<std::string> argv = {macsimPath().string(), "run", scenarioPath(scenario).string()};
  if (!options.keep.empty()) argv.insert(argv.end(), {"--keep", options.keep.string()});
  for (const auto& s : options.share) argv.insert(argv.end(), {"--share", s.string()});
  for (const auto& [k, v] : options.env) argv.insert(argv.end(), {"--env", k + "=" + v});
  argv.push_back("--");
  argv.insert(argv.end(), command.begin(), command.end());
  return spawnAndCollect(argv, options.stdinText);
}

MacRun loginShell(std::string_view scenario, const std::string& script, const MacRunOptions& options) {
  return runInMac(scenario, {"/bin/zsh", "-lc", script}, options);
}

std::map<std::string, std::string> githubStandInEnv() {
  return {{"GIT_CONFIG_COUNT", "2"},
          {"GIT_CONFIG_KEY_0", "url.file:///tmp/github/.insteadOf"},
          {"GIT_CONFIG_VALUE_0", "https://github.com/"},
          {"GIT_CONFIG_KEY_1", "remote.origin.fetch"},
          {"GIT_CONFIG_VALUE_1", "+refs/replace/*:refs/replace/*"}};
}

nlohmann::json doctorJson(std::string_view scenario, const std::vector<std::string>& args,
                          const MacRunOptions& options) {
  std::vector<std::string> cmd = {doctorPath().string()};
  cmd.insert(cmd.end(), args.begin(), args.end());
  cmd.push_back("--json");
  const MacRun run = runInMac(scenario, cmd, options);
  try {
    return nlohmann::json::parse(run.out);
  } catch (const nlohmann::json::exception& e) {
    throw std::runtime_error("benchkit-doctor did not print JSON (exit " + std::to_string(run.exitCode) +
                             "): " + e.what() + "\nstdout:\n" + run.out + "\nstderr:\n" + run.err);
  }
}

DerivedScenario::DerivedScenario(std::string_view base, const nlohmann::json& overrides) {
  dir_ = makeTempDir("macsim-scenario-");
  file_ = dir_ / "scenario.json";
  nlohmann::json doc = overrides;
  doc["extends"] = fs::absolute(scenarioPath(base)).string();
  std::ofstream(file_) << doc.dump(2);
}

DerivedScenario::~DerivedScenario() { removeAll(dir_); }

ScratchDir::ScratchDir() {
  dir_ = makeTempDir("macsim-scratch-");
  if (::geteuid() == 0) {
    // Root callers run the sandbox as uid 501 without a user namespace (see macsim).
    if (::chown(dir_.c_str(), kSimUid, kSimGid) != 0) throw std::runtime_error("chown scratch dir failed");
  }
  ::chmod(dir_.c_str(), 0755);
}

ScratchDir::~ScratchDir() { removeAll(dir_); }

}  // namespace bnch::systest
