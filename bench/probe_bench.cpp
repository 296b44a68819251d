// How long the profile and the probe bundle take together in a Mac whose start-up
// files are slow and noisy (the noisy-zprofile scenario: 300 ms in ~/.zprofile and
// 300 ms more in ~/.zshrc), beside the same shell and program probes run one after
// another, and beside one start of the shell a new Terminal window runs.
//
// Runs itself inside the simulated Mac: the outer process re-executes the
// benchmark through macsim with --inside.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <vector>

#include "engine/platform/app_services.h"
#include "engine/probes/probe_process.h"
#include "engine/probes/python_prober.h"
#include "engine/probes/system_profiler.h"

namespace {

using Clock = std::chrono::steady_clock;
using bnch::ProbeProcess;
using bnch::ProcessRequest;

constexpr int rounds = 5;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// CPU seconds used by reaped children so far.
double childCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Every program and login shell the profile and the Python prober start, as they
// start them, for the one-after-another baseline.
struct ProbeStep {
  const char* label;
  ProcessRequest request;
};

std::vector<ProbeStep> probeSteps() {
  auto program = [](const char* label, std::string executable, std::vector<std::string> arguments) {
    return ProbeStep{label, ProcessRequest{.executable = std::move(executable), .arguments = std::move(arguments)}};
  };
  auto shell = [](const char* label, const std::string& command) {
    return ProbeStep{label, bnch::ShellRunner::request(command, bnch::ShellForm::newTerminal)};
  };
  return {
      program("sysctl", "/usr/sbin/sysctl", {"-in", "hw.optional.arm64"}),
      program("xcode-select", "/usr/bin/xcode-select", {"-p"}),
      program("dseditgroup", "/usr/sbin/dseditgroup", {"-o", "checkmember", "-m", "alice", "admin"}),
      program("java_home", "/usr/libexec/java_home", {"-V"}),
      shell("which java", "/usr/bin/which java"),
      shell("which claude", "/usr/bin/which claude"),
      shell("which codex", "/usr/bin/which codex"),
      shell("which aider", "/usr/bin/which aider"),
      shell("which mise", "/usr/bin/which mise"),
      shell("JAVA_HOME", "echo __BNCH_JAVA_HOME__:$JAVA_HOME"),
      shell("which -a claude", "/usr/bin/which -a claude"),
      shell("which -a codex", "/usr/bin/which -a codex"),
      shell("which -a brew", "/usr/bin/which -a brew"),
      shell("brew --version", "brew --version 2>&1"),
      shell("command -v gh", "command -v gh"),
      shell("git identity",
            "git config --global --get user.name >/dev/null && git config --global --get user.email >/dev/null"),
      shell("gh auth status", "gh auth status"),
      shell("which python", "p=$(/usr/bin/which python) && print -r -- \"$p\" \"${p:A}\""),
      shell("which python3", "p=$(/usr/bin/which python3) && print -r -- \"$p\" \"${p:A}\""),
  };
}

int inside() {
  const bnch::AppServices& services = bnch::AppServices::live();
  const bnch::ShellRunner shell(services.processRunner);
  const ProbeProcess process(services.processRunner);

  // The first start also lets compinit write ~/.zcompdump, as on a Mac in use.
  std::vector<double> oneShell;
  for (int i = 0; i < rounds; ++i) {
    const auto start = Clock::now();
    if (!shell.ask("true")) {
      std::fprintf(stderr, "the new Terminal window's shell did not answer\n");
      return 1;
    }
    oneShell.push_back(secondsSince(start));
  }

  std::vector<double> together;
  const double cpuBefore = childCpuSeconds();
  for (int i = 0; i < rounds; ++i) {
    const auto start = Clock::now();
    auto profile = std::async(std::launch::async, [&] {
      return bnch::SystemProfiler(shell, *services.fs, bnch::ProfilerEnvironment::current()).profile();
    });
    auto bundle = std::async(std::launch::async, [&] { return bnch::PythonProber().probe(shell, *services.fs); });
    const auto snapshot = profile.get();
    const auto answers = bundle.get();
    together.push_back(secondsSince(start));
    if (answers.versionOutput != "Homebrew 4.4.11" || !snapshot.homebrewPrefix) {
      std::fprintf(stderr, "unexpected answers: the scenario is not the noisy ready Mac\n");
      return 1;
    }
  }
  const double cpuPerRound = (childCpuSeconds() - cpuBefore) / rounds;

  // The same programs and login shells started all at once without the engine:
  // the floor the machine allows for the concurrent profile.
  std::vector<double> allAtOnce;
  for (int i = 0; i < rounds; ++i) {
    const auto start = Clock::now();
    std::vector<std::future<void>> running;
    for (const auto& step : probeSteps()) {
      running.push_back(std::async(std::launch::async, [&process, step] { process.run(step.request); }));
    }
    for (auto& step : running) step.get();
    allAtOnce.push_back(secondsSince(start));
  }

  std::vector<double> sums;
  double slowest = 0;
  const char* slowestLabel = "";
  for (int i = 0; i < rounds; ++i) {
    double sum = 0;
    for (const auto& step : probeSteps()) {
      const auto start = Clock::now();
      process.run(step.request);
      const double seconds = secondsSince(start);
      sum += seconds;
      if (i == 0 && seconds > slowest) {
        slowest = seconds;
        slowestLabel = step.label;
      }
    }
    sums.push_back(sum);
  }

  const double shellStart = median(oneShell);
  const double total = median(together);
  const double sequential = median(sums);
  std::printf("one new-terminal shell start (median of %d): %8.3f s\n", rounds, shellStart);
  std::printf("slowest single probe (%s):            %8.3f s\n", slowestLabel, slowest);
  std::printf("profile + probe bundle, concurrently:         %8.3f s\n", total);
  std::printf("the %zu probes one after another:             %8.3f s\n", probeSteps().size(), sequential);
  std::printf("the same probes started at once, no engine:   %8.3f s\n", median(allAtOnce));
  double load[1] = {0};
  std::printf("child CPU time per profile + bundle: %.3f s on %ld cores; load average %.1f\n", cpuPerRound,
              ::sysconf(_SC_NPROCESSORS_ONLN), ::getloadavg(load, 1) == 1 ? load[0] : -1.0);
  std::printf("total / one new-terminal shell: %.2f (target <= 1.5)\n", total / shellStart);
  std::printf("one-after-another / total: %.2f (target >= 6)\n", sequential / total);
  std::printf(
      "RESULT total_s=%.3f terminal_shell_s=%.3f sequential_s=%.3f floor_s=%.3f total_over_shell=%.2f speedup=%.2f\n",
      total, shellStart, sequential, median(allAtOnce), total / shellStart, sequential / total);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--inside") return inside();
  const std::string scenario = std::string(MACSIM_SCENARIOS_DIR) + "/noisy-zprofile.json";
  char self[4096];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) {
    std::fprintf(stderr, "cannot find this executable\n");
    return 1;
  }
  self[length] = '\0';
  std::fflush(stdout);
  const char* const arguments[] = {MACSIM_PATH, "run", scenario.c_str(), "--", self, "--inside", nullptr};
  ::execv(MACSIM_PATH, const_cast<char* const*>(arguments));
  std::perror("macsim");
  return 1;
}
