#pragma once

#include <cstdint>
#include <memory>
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

// Runs command lines in a fresh login zsh (`/bin/zsh -lc`), so that they see the
// PATH and variables the user's start-up files set up. A plain value; copy freely.
class ShellRunner {
 public:
  static constexpr std::string_view outputMarker = "__BNCH_CMD_OUTPUT__";

  explicit ShellRunner(std::shared_ptr<ProcessRunning> process) : process_(std::move(process)) {}

  // Runs the command to completion; whatever the start-up files print before the
  // output marker is removed. Never throws: a shell that cannot start gives empty
  // output and exit code -1. Standard error is not read (use 2>&1 in the command).
  ShellOutput run(const std::string& commandLine) const;

  // Streams the program's lines (callers pass /bin/zsh, -lc, command). No marker:
  // start-up file output reaches the consumer. Ends with completed; a program that
  // cannot start gives "Failed to start <path>: <message>" and completed -1.
  // Dropping the stream terminates the child.
  EventStream<StreamEvent> stream(const std::string& executable, std::vector<std::string> arguments) const;

  const std::shared_ptr<ProcessRunning>& process() const { return process_; }

  // The request run() makes for a command line: `/bin/zsh -lc` with the output
  // marker echoed first. For callers that run it themselves.
  static ProcessRequest markedRequest(const std::string& commandLine);

  // What follows the first line break after the first output marker in `output`
  // (LF, VT, FF, CR, CRLF, U+0085, U+2028 or U+2029); empty when no break follows;
  // the whole output when there is no marker. For callers that run the marked
  // command line themselves.
  static std::string textAfterMarker(std::string_view output);

 private:
  std::shared_ptr<ProcessRunning> process_;
};

}  // namespace bnch
