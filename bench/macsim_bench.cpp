// How long it takes to lay out a scenario and run a trivial command in the simulated Mac,
// against a login shell on the host measured in the same run.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

namespace {

double runOnceMs(const std::vector<std::string>& argv) {
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> copy = argv;
  std::vector<char*> cargv;
  for (auto& a : copy) cargv.push_back(a.data());
  cargv.push_back(nullptr);
  const auto t0 = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, cargv[0], &fa, nullptr, cargv.data(), environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", argv[0].c_str());
    std::exit(1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  const auto t1 = std::chrono::steady_clock::now();
  posix_spawn_file_actions_destroy(&fa);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed (status %d)\n", argv[0].c_str(), status);
    std::exit(1);
  }
  return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

double medianMs(const char* label, const std::vector<std::string>& argv, int runs = 20) {
  for (int i = 0; i < 2; ++i) runOnceMs(argv);  // warm caches
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) t.push_back(runOnceMs(argv));
  std::sort(t.begin(), t.end());
  const double median = (t[t.size() / 2 - 1] + t[t.size() / 2]) / 2;
  std::printf("%-44s median %7.1f ms  (min %.1f, max %.1f, %d runs)\n", label, median, t.front(), t.back(), runs);
  return median;
}

}  // namespace

int main() {
  const std::string macsim = MACSIM_PATH;
  const std::string scenarios = MACSIM_SCENARIOS_DIR;
  const double host = medianMs("host: zsh -lc true", {"/bin/zsh", "-lc", "true"});
  const double fresh = medianMs("fresh-mac: true", {macsim, "run", scenarios + "/fresh-mac.json", "--", "true"});
  const double freshZsh = medianMs("fresh-mac: zsh -lc true",
                                   {macsim, "run", scenarios + "/fresh-mac.json", "--", "/bin/zsh", "-lc", "true"});
  const double ready = medianMs("ready-mac: zsh -lc true",
                                {macsim, "run", scenarios + "/ready-mac.json", "--", "/bin/zsh", "-lc", "true"});
  std::printf("target: a trivial command in a fresh scenario under 150 ms\n");
  std::printf(
      "RESULT fresh_true_ms=%.1f fresh_zsh_ms=%.1f ready_zsh_ms=%.1f host_zsh_ms=%.1f ratio_fresh_zsh_vs_host=%.1f\n",
      fresh, freshZsh, ready, host, freshZsh / host);
  return 0;
}
