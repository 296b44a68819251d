#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/platform/event_stream.h"
#include "engine/platform/process_running.h"

namespace bnch {

// Events of a command streamed through the login shell.
struct StreamEvent {
  struct Output {
    std::string text;
    bool operator==(const Output&) const = default;
  };
  struct Completed {
    int32_t exitCode = 0;
    bool operator==(const Completed&) const = default;
  };
  struct Canceled {
    bool operator==(const Canceled&) const = default;
  };
  std::variant<Output, Completed, Canceled> value;

  static StreamEvent output(std::string text) { return {Output{std::move(text)}}; }
  static StreamEvent completed(int32_t exitCode) { return {Completed{exitCode}}; }
  static StreamEvent canceled() { return {Canceled{}}; }

  bool operator==(const StreamEvent&) const = default;
};

struct ShellOutput {
  std::string output;  // what the command printed after the marker line
  int32_t exitCode = 0;
  bool timedOut = false;  // stopped at its time limit: its answer is unknown

  bool operator==(const ShellOutput&) const = default;
};

// The two shells a command line runs in.
enum class ShellForm {
  // A plain login zsh (`/bin/zsh -lc`): reads ~/.zprofile but not ~/.zshrc. For
  // commands that change the machine.
  login,
  // The shell a new Terminal window starts: an interactive login zsh (`-ilc`, so
  // ~/.zshrc is read too) in a new session without a controlling terminal (job
  // control of a terminal we run in can never stop it), standard input from
  // /dev/null, the command in a subshell between a start and an end marker. For
  // every read-only question of what a new Terminal window runs or sees.
  newTerminal,
};

// Runs command lines in a fresh zsh, so that they see the PATH and variables the
// user's start-up files set up. A plain value; copy freely.
class ShellRunner {
 public:
  static constexpr std::string_view outputMarker = "__BNCH_CMD_OUTPUT__";
  // Followed by the command's exit status; ends the answer of a newTerminal run.
  static constexpr std::string_view endMarker = "__BNCH_CMD_END__:";
  static constexpr std::chrono::milliseconds defaultTimeLimit{20000};
  static constexpr const char* shellPath = "/bin/zsh";

  explicit ShellRunner(std::shared_ptr<ProcessRunning> process, std::chrono::milliseconds timeLimit = defaultTimeLimit)
      : process_(std::move(process)), timeLimit_(timeLimit) {}

  // Runs the command in a plain login shell to completion; whatever the start-up
  // files print before the output marker is removed. Never throws: a shell that
  // cannot start gives empty output and exit code -1. Standard error is not read
  // (use 2>&1 in the command).
  ShellOutput run(const std::string& commandLine) const;

  // Asks a new Terminal window: runs the command in the newTerminal form under
  // the time limit. Only what the command printed between the markers counts;
  // a shell that cannot start, passes the limit, or never reaches the end marker
  // (a ~/.zshrc that execs another program or exits) gives no answer. Standard
  // error is not read (use 2>&1 in the command). Blocks; never throws.
  std::optional<ShellOutput> ask(const std::string& commandLine) const;

  // Streams the program's lines (callers pass /bin/zsh, -lc, command). No marker:
  // start-up file output reaches the consumer. Ends with completed; a program that
  // cannot start gives "Failed to start <path>: <message>" and completed -1.
  // Dropping the stream terminates the child.
  EventStream<StreamEvent> stream(const std::string& executable, std::vector<std::string> arguments) const;

  const std::shared_ptr<ProcessRunning>& process() const { return process_; }

  std::chrono::milliseconds timeLimit() const { return timeLimit_; }

  // The one request builder for a command line in either form (the login form
  // echoes the output marker first). For callers that run it themselves; read
  // the output with textAfterMarker (login) or answerIn (newTerminal).
  static ProcessRequest request(const std::string& commandLine, ShellForm form);

  // The command line a request of either form runs (the login form with or
  // without the marker echo); nothing for any other request.
  static std::optional<std::string> commandLineOf(const ProcessRequest& request);

  // The answer in the output of a newTerminal request: the text between the line
  // after the output marker and the end marker, with the status that follows the
  // end marker. Nothing when either marker or the status is missing.
  static std::optional<ShellOutput> answerIn(std::string_view output);

  // What follows the first line break after the first output marker in `output`
  // (LF, VT, FF, CR, CRLF, U+0085, U+2028 or U+2029); empty when no break follows;
  // the whole output when there is no marker. For callers that run the marked
  // command line themselves.
  static std::string textAfterMarker(std::string_view output);

 private:
  std::shared_ptr<ProcessRunning> process_;
  std::chrono::milliseconds timeLimit_;
};

}  // namespace bnch
