#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "engine/platform/event_stream.h"

namespace bnch {

// A child's environment: when given, it replaces the inherited one completely.
using Environment = std::map<std::string, std::string>;

// What to start: an executable by path (no shell, no PATH search) and its arguments.
struct ProcessRequest {
  std::string executable{};
  std::vector<std::string> arguments{};
  std::optional<Environment> environment{};  // absent: inherit the application's environment
  // Start the child in a new session with no controlling terminal (instead of a
  // process group of its own) and standard input from /dev/null, so that the job
  // control of a terminal the application runs in can never stop it.
  bool newSession = false;
  // run(): when set, the child's process group is stopped once this much time has
  // passed, and the result says it timed out. Streams ignore it (their consumer
  // cancels instead).
  std::optional<std::chrono::milliseconds> timeLimit{};

  bool operator==(const ProcessRequest&) const = default;
};

// The outcome of a run to completion. Output is UTF-8; invalid byte sequences are
// replaced by U+FFFD so that one stray byte never hides the rest of the output.
struct ProcessResult {
  int32_t exitCode = 0;  // exit status, or 128 + signal number when killed by a signal
  std::string stdOut;
  std::string stdErr;
  bool timedOut = false;  // stopped at the request's time limit; the output is what came before

  bool operator==(const ProcessResult&) const = default;
};

// Events of a streamed process: merged stdout/stderr lines, then exactly one of
// exited or failedToStart, which is always the last event.
struct ProcessStreamEvent {
  struct Line {
    std::string text;  // without its line terminator
    bool operator==(const Line&) const = default;
  };
  struct Exited {
    int32_t code = 0;
    bool operator==(const Exited&) const = default;
  };
  struct FailedToStart {
    std::string message;
    bool operator==(const FailedToStart&) const = default;
  };
  std::variant<Line, Exited, FailedToStart> value;

  static ProcessStreamEvent line(std::string text) { return {Line{std::move(text)}}; }
  static ProcessStreamEvent exited(int32_t code) { return {Exited{code}}; }
  static ProcessStreamEvent failedToStart(std::string message) { return {FailedToStart{std::move(message)}}; }

  bool operator==(const ProcessStreamEvent&) const = default;
};

// Thrown by ProcessRunning::run when the program cannot be started.
class ProcessLaunchError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A started child that a cancellation can stop. Implemented by the live runner
// (and by the scripted fake in tests).
class RunningProcess {
 public:
  virtual ~RunningProcess() = default;
  virtual bool isRunning() const = 0;
  // Sends the terminate request (SIGTERM to the child's process group).
  virtual void terminate() = 0;
};

// Stops one thing that may still be starting.
class ProcessCancellation {
 public:
  virtual ~ProcessCancellation() = default;
  virtual void cancel() = 0;
};

// The cancellation handle of one streamed process. A cancel that arrives before
// the process is attached is remembered and applied the moment it is attached.
class LiveProcessCancellation : public ProcessCancellation {
 public:
  void attach(std::shared_ptr<RunningProcess> process);
  void cancel() override;
  bool isCanceled() const;

 private:
  mutable std::mutex lock_;
  std::shared_ptr<RunningProcess> process_;
  bool canceled_ = false;
};

// Relays one cancel request to whichever handle is current (one per remediation run).
class CancellableProcess {
 public:
  void setCurrent(std::shared_ptr<ProcessCancellation> handle);
  void cancel();
  bool isCanceled() const;

 private:
  mutable std::mutex lock_;
  std::shared_ptr<ProcessCancellation> current_;
  bool canceled_ = false;
};

// Starts programs as child processes. Both calls may be used from any thread.
class ProcessRunning {
 public:
  virtual ~ProcessRunning() = default;

  // Runs the program to completion and returns its status and whole output; a
  // non-zero exit is not an error. Blocks the calling thread until the child has
  // exited and both pipes are drained. Throws ProcessLaunchError when the program
  // cannot be started.
  virtual ProcessResult run(const ProcessRequest& request) = 0;

  // Starts the program and returns at once a stream of its merged output lines,
  // ending with exited or failedToStart. The child runs in its own process group;
  // cancelling the handle, or dropping the stream, terminates the whole group.
  virtual EventStream<ProcessStreamEvent> stream(const ProcessRequest& request,
                                                 std::shared_ptr<LiveProcessCancellation> cancellation) = 0;
};

}  // namespace bnch
