#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/platform/event_stream.h"
#include "engine/platform/shell_runner.h"
#include "engine/remediation/adoptium_api.h"
#include "engine/remediation/brew_runner.h"
#include "engine/remediation/privileged_executor.h"
#include "engine/remediation/setup_remediation_runner.h"
#include "engine/remediation/writer_report.h"

namespace bnch {

// One remediation in progress: the services, the event stream it writes to, and
// the routines the jobs share. Made by the runner for each run; jobs use it from
// the job's own thread.
//
// A job ends by calling complete() or canceled() once; both finish the stream,
// and later events are dropped. When the consumer stops listening, isCanceled()
// turns true and `cancellable` terminates whichever process is registered with it.
class RemediationJob {
 public:
  RemediationJob(std::shared_ptr<const RemediationServices> services, EventStream<RemediationEvent>::Continuation out,
                 std::string privilegedReason, std::shared_ptr<CancellableProcess> cancellable);

  const RemediationServices& services() const { return *services_; }
  FileSystemOperating& fs() const { return *services_->fs; }
  const std::string& privilegedReason() const { return privilegedReason_; }
  const std::shared_ptr<CancellableProcess>& cancellable() const { return cancellable_; }
  bool isCanceled() const;

  void output(std::string line) const;
  void openBrowser(std::string url, std::optional<std::string> code) const;
  void complete(int32_t exitCode) const;
  void canceled() const;
  // Whether complete() or canceled() has been called.
  bool hasEnded() const { return ended_; }

  // Each line, then completed 0 when the writer succeeded and 1 otherwise.
  void finishWith(const WriterReport& report) const;
  // Forwards a component's stream one to one (output, completed, canceled) and ends the job.
  void forward(EventStream<StreamEvent> stream) const;

  // True (after the Homebrew-missing line and completed -1) when `brew` is absent.
  bool endIfHomebrewMissing() const;

  // `brew install <name>` through the package runner, lines forwarded. The exit
  // code of its last completed event (-1 when none, or when Homebrew is missing);
  // absent when the install was canceled.
  std::optional<int32_t> installFormula(const std::string& name) const;

  // Forwards a package runner's output lines; the exit code of its last completed
  // event (-1 when none), absent when it was canceled. Does not end the job.
  std::optional<int32_t> relay(EventStream<StreamEvent> stream) const;

  // How a streamed process ended, after its lines were forwarded as output.
  struct ProcessOutcome {
    int32_t exitCode = -1;                     // -1 when it never reported one
    std::optional<std::string> failedToStart;  // the reason, when it never started
  };
  // Each line is forwarded, then handed to `eachLine` when given.
  ProcessOutcome forwardProcess(EventStream<ProcessStreamEvent> stream,
                                const std::function<void(const std::string& line)>& eachLine = {}) const;

  // `/bin/zsh -lc <command>` in the application's environment, lines forwarded
  // (each one then handed to `eachLine`, when given). The exit code; -1 when it
  // did not start (after "Failed to start: …") or was stopped by a cancel.
  int32_t runLoginShell(const std::string& command,
                        const std::function<void(const std::string& line)>& eachLine = {}) const;

  PrivilegedExecutor privilegedExecutor() const;
  AdoptiumAPI adoptium() const;
  // Homebrew's package runner for the `brew` found; only when brewPath is present.
  BrewRunner brewRunner() const;

 private:
  std::shared_ptr<const RemediationServices> services_;
  EventStream<RemediationEvent>::Continuation out_;
  std::string privilegedReason_;
  std::shared_ptr<CancellableProcess> cancellable_;
  mutable std::atomic<bool> ended_ = false;
};

}  // namespace bnch
