#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "engine/platform/process_running.h"
#include "engine/platform/shell_runner.h"
#include "engine/platform/timed_run.h"

namespace bnch {

// What one probed program answered.
using ProbeRun = TimedRun;

// Runs the programs a probe asks, each under a time limit, so that one program
// that hangs (a login shell waiting on a start-up file, a stuck system tool)
// never holds up a profile. A run that passes its limit is stopped (its process
// group is terminated) and counts as a program that printed nothing and ended
// with exit code -1, the same as one that could not start.
//
// A run that reaches its limit is "not answering" even when the child, stopped,
// exits before the reading ends. Of a child's output at most `outputLimit` bytes
// are kept: the first and the last lines, with a line saying how much was left
// out between them.
//
// Runs use the streaming form of ProcessRunning, so standard output and error
// arrive merged in the order they were written; every probe's rules filter the
// lines they rely on. A plain value; `run` may be called from many threads at once
// and blocks the caller until the program ends or its limit passes.
class ProbeProcess {
 public:
  static constexpr std::chrono::milliseconds defaultTimeLimit = ShellRunner::defaultTimeLimit;
  static constexpr std::size_t outputLimit = defaultOutputLimit;

  explicit ProbeProcess(std::shared_ptr<ProcessRunning> runner, std::chrono::milliseconds timeLimit = defaultTimeLimit)
      : runner_(std::move(runner)), timeLimit_(timeLimit) {}

  ProbeRun run(const ProcessRequest& request) const;

  // ShellRunner::ask under this time limit: what a new Terminal window answers,
  // or nothing.
  std::optional<ShellOutput> askTerminal(const std::string& command) const;

  std::chrono::milliseconds timeLimit() const { return timeLimit_; }

 private:
  std::shared_ptr<ProcessRunning> runner_;
  std::chrono::milliseconds timeLimit_;
};

}  // namespace bnch
