#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "engine/platform/process_running.h"
#include "engine/platform/shell_runner.h"

namespace bnch {

// Readable values in test failure messages (found by GoogleTest through ADL).
void PrintTo(const ProcessRequest& request, std::ostream* out);
void PrintTo(const ProcessResult& result, std::ostream* out);
void PrintTo(const ProcessStreamEvent& event, std::ostream* out);
void PrintTo(const StreamEvent& event, std::ostream* out);
void PrintTo(const ShellOutput& output, std::ostream* out);

}  // namespace bnch

namespace bnch::testing {

// One line of a scripted stream, yielded after an optional pause.
struct ScriptedLine {
  std::string text;
  std::chrono::milliseconds delay{0};
};

// How a scripted program behaves. Start from one of the makers and refine:
//
//   ScriptedReply::prints("arm64\n")
//   ScriptedReply::exits(1).withStderr("Error: No such keg")
//   ScriptedReply::streams({"==> Downloading uv", "==> Pouring uv"})
//   ScriptedReply::streamsSlowly({{"Downloading", 50ms}, {"Done", 50ms}}).withExitCode(0)
//   ScriptedReply::failsToStart()
//   ScriptedReply::hangs({"Waiting for the lock"})
//   ScriptedReply::prints("").then([&](const ProcessRequest&) { fs.createFile(...); })
//
// run() returns {exitCode, stdOut, stdErr}. stream() yields `lines` when given,
// otherwise the lines of stdOut and then those of stdErr, then exited(exitCode).
struct ScriptedReply {
  int32_t exitCode = 0;
  std::string stdOut;
  std::string stdErr;
  std::optional<std::vector<ScriptedLine>> lines;
  std::optional<std::string> launchFailure;  // set: the program cannot start, with this message
  // Streams: after the lines, wait until terminated, then exit with 143 (SIGTERM).
  // run(): block until ScriptedProcessRunner::releaseHangingRuns(), then answer;
  // a request with a time limit instead returns at once, timed out (exit 143).
  bool hangsUntilCanceled = false;
  std::chrono::milliseconds runDelay{0};                  // run(): pause before answering
  std::function<void(const ProcessRequest&)> sideEffect;  // runs when the request arrives

  static ScriptedReply prints(std::string stdOut, int32_t exitCode = 0);
  static ScriptedReply exits(int32_t exitCode);
  static ScriptedReply streams(std::vector<std::string> lines, int32_t exitCode = 0);
  static ScriptedReply streamsSlowly(std::vector<ScriptedLine> lines, int32_t exitCode = 0);
  static ScriptedReply failsToStart(std::string message = "No such file or directory");
  static ScriptedReply hangs(std::vector<std::string> linesFirst = {});

  ScriptedReply withStdout(std::string text) const;
  ScriptedReply withStderr(std::string text) const;
  ScriptedReply withExitCode(int32_t code) const;
  ScriptedReply withLines(std::vector<std::string> lines) const;
  ScriptedReply afterDelay(std::chrono::milliseconds delay) const;
  ScriptedReply then(std::function<void(const ProcessRequest&)> effect) const;
};

enum class CallKind { run, stream };

// One request the runner received, in arrival order.
struct ScriptedCall {
  ProcessRequest request;
  CallKind kind = CallKind::run;
  bool answered = false;    // false: nothing matched and the fallback answered
  bool terminated = false;  // a streamed process got the terminate request
};

// A ProcessRunning fake that answers from a script and logs every request.
//
// Answers are looked up by rule; the most recently added matching rule wins, so a
// fixture can set defaults that a test then overrides. A rule with several
// replies gives them in order and then repeats the last. Requests that nothing
// matches get the fallback (default: the program fails to start) and are listed
// by unanswered().
//
// Shell commands: answerShell*() match the command text of either form of
// ShellRunner::request (`/bin/zsh -lc`, with or without the marker echo, and the
// new Terminal window's `/bin/zsh -ilc`). As the real shell would, the fake then
// prints the shell preamble (see setShellPreamble) and, when the marker was asked
// for, the marker line, before the reply's own output; a new Terminal window's
// reply is followed by the end marker with the reply's exit code (the shell itself
// exits 0). Replies given through the other answer functions are taken literally.
//
// Thread-safe: any number of threads may run and stream at once. Streams with
// pauses or hangs run on threads of their own, joined by the destructor (which
// first terminates whatever still hangs).
class ScriptedProcessRunner final : public ProcessRunning {
 public:
  using Matcher = std::function<bool(const ProcessRequest&)>;
  using Handler = std::function<ScriptedReply(const ProcessRequest&)>;

  static constexpr const char* loginShell = "/bin/zsh";

  ScriptedProcessRunner() = default;
  ScriptedProcessRunner(const ScriptedProcessRunner&) = delete;
  ScriptedProcessRunner& operator=(const ScriptedProcessRunner&) = delete;
  ~ScriptedProcessRunner() override;

  // An exact executable and argument list (the environment is not compared).
  void answer(const std::string& executable, const std::vector<std::string>& arguments, ScriptedReply reply);
  void answerInOrder(const std::string& executable, const std::vector<std::string>& arguments,
                     std::vector<ScriptedReply> replies);
  // Any request the predicate accepts.
  void answerWhen(Matcher matches, ScriptedReply reply);
  // Any request the predicate accepts, answered by the handler at call time.
  void answerWith(Matcher matches, Handler handler);

  // A shell command of either form (see above).
  void answerShell(const std::string& command, ScriptedReply reply);
  void answerShellInOrder(const std::string& command, std::vector<ScriptedReply> replies);
  void answerShellWhen(std::function<bool(const std::string& command)> matches, ScriptedReply reply);
  void answerShellWith(std::function<bool(const std::string& command)> matches,
                       std::function<ScriptedReply(const std::string& command)> handler);
  // Text every login shell prints before anything else (what noisy start-up files print).
  void setShellPreamble(std::string text);

  // The answer to requests that no rule matches.
  void setFallback(ScriptedReply reply);

  // Lets every run() that hangs (now or later) return its answer.
  void releaseHangingRuns();

  ProcessResult run(const ProcessRequest& request) override;
  EventStream<ProcessStreamEvent> stream(const ProcessRequest& request,
                                         std::shared_ptr<LiveProcessCancellation> cancellation) override;

  // The log.
  std::vector<ScriptedCall> calls() const;
  std::vector<ProcessRequest> requests() const;
  std::vector<ProcessRequest> unanswered() const;
  // The command text of every login-shell request, marker echo removed.
  std::vector<std::string> shellCommands() const;
  std::size_t count(const std::string& executable, const std::vector<std::string>& arguments) const;
  std::size_t shellCount(const std::string& command) const;
  // Blocks until at least `count` requests have arrived; false on time-out.
  bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

  // `command` when the request is `/bin/zsh -lc command` (marker echo removed).
  static std::optional<std::string> shellCommandOf(const ProcessRequest& request);

 private:
  class Process;
  struct Rule;
  struct Answer;

  Answer answerFor(const ProcessRequest& request, CallKind kind, std::shared_ptr<Process> process);
  void addRule(Rule rule);
  void playStream(const Answer& answer, const std::shared_ptr<Process>& process,
                  const EventStream<ProcessStreamEvent>::Continuation& continuation) const;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<std::shared_ptr<Rule>> rules_;
  std::shared_ptr<Rule> fallback_;
  std::string shellPreamble_;
  bool runsReleased_ = false;
  bool shuttingDown_ = false;
  struct Record {
    ScriptedCall call;
    std::shared_ptr<Process> process;
  };
  std::vector<Record> records_;
  std::vector<std::thread> threads_;
};

}  // namespace bnch::testing
