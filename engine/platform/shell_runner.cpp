#include "engine/platform/shell_runner.h"

#include <exception>
#include <system_error>
#include <thread>
#include <utility>

#include "engine/platform/text.h"
#include "engine/platform/timed_run.h"

namespace bnch {
namespace {

std::string markerEcho() { return "echo " + std::string(ShellRunner::outputMarker) + "; "; }

// The newTerminal script around a command line. The subshell keeps an `exit` in
// the command from skipping the end marker; the line breaks keep a trailing
// comment from swallowing it. Options a ~/.zshrc may set that would end the shell
// early or echo the script are turned off first, and the markers are spelt in two
// quoted pieces, so that even an echo of the script never contains them.
constexpr std::string_view kTerminalHead =
    "builtin setopt no_err_exit unset no_xtrace no_verbose 2>/dev/null\nbuiltin print -r -- ";
constexpr std::string_view kTerminalOpen = "\n(\n";
constexpr std::string_view kTerminalClose = "\n) 2>/dev/null\nbuiltin print -r -- ";
constexpr std::string_view kTerminalTail = "$?";

std::string splitWord(std::string_view word) {
  const std::size_t half = word.size() / 2;
  return std::string(word.substr(0, half)) + "''" + std::string(word.substr(half));
}

std::string terminalScript(const std::string& commandLine) {
  return std::string(kTerminalHead) + splitWord(ShellRunner::outputMarker) + std::string(kTerminalOpen) + commandLine +
         std::string(kTerminalClose) + splitWord(ShellRunner::endMarker) + std::string(kTerminalTail);
}

}  // namespace

std::string ShellRunner::textAfterMarker(std::string_view output) {
  const std::size_t marker = output.find(outputMarker);
  if (marker == std::string_view::npos) return std::string(output);
  for (std::size_t i = marker + outputMarker.size(); i < output.size(); ++i) {
    if (const std::size_t length = lineBreakLength(output, i)) return std::string(output.substr(i + length));
  }
  return {};
}

ProcessRequest ShellRunner::request(const std::string& commandLine, ShellForm form) {
  if (form == ShellForm::login) {
    return ProcessRequest{.executable = shellPath, .arguments = {"-lc", markerEcho() + commandLine}};
  }
  return ProcessRequest{
      .executable = shellPath,
      .arguments = {"-ilc", terminalScript(commandLine)},
      .environment = std::nullopt,
      .newSession = true,
  };
}

std::optional<std::string> ShellRunner::commandLineOf(const ProcessRequest& request) {
  if (request.executable != shellPath || request.arguments.size() != 2) return std::nullopt;
  const std::string& script = request.arguments[1];
  if (request.arguments[0] == "-lc") {
    return script.starts_with(markerEcho()) ? script.substr(markerEcho().size()) : script;
  }
  if (request.arguments[0] != "-ilc") return std::nullopt;
  const std::string empty = terminalScript("");
  const std::size_t head = empty.find(kTerminalOpen) + kTerminalOpen.size();
  const std::size_t tail = empty.size() - head;
  if (script.size() < empty.size() || script.compare(0, head, empty, 0, head) != 0 ||
      script.compare(script.size() - tail, tail, empty, head, tail) != 0) {
    return std::nullopt;
  }
  return script.substr(head, script.size() - empty.size());
}

std::optional<ShellOutput> ShellRunner::answerIn(std::string_view output) {
  if (output.find(outputMarker) == std::string_view::npos) return std::nullopt;
  const std::string text = textAfterMarker(output);
  const std::size_t end = text.rfind(endMarker);
  if (end == std::string::npos) return std::nullopt;
  std::size_t digits = end + endMarker.size();
  int32_t status = 0;
  const std::size_t first = digits;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9' && digits - first < 3) {
    status = status * 10 + (text[digits] - '0');
    ++digits;
  }
  if (digits == first) return std::nullopt;
  return ShellOutput{text.substr(0, end), status};
}

ShellOutput ShellRunner::run(const std::string& commandLine) const {
  try {
    ProcessResult result = process_->run(request(commandLine, ShellForm::login));
    return ShellOutput{textAfterMarker(result.stdOut), result.exitCode};
  } catch (const std::exception&) {
    return ShellOutput{"", -1};
  }
}

std::optional<ShellOutput> ShellRunner::ask(const std::string& commandLine) const {
  if (!process_) return std::nullopt;
  const TimedRun shell = runWithTimeLimit(*process_, request(commandLine, ShellForm::newTerminal), timeLimit_);
  if (!shell.answered) return std::nullopt;
  return answerIn(shell.output);
}

EventStream<StreamEvent> ShellRunner::stream(const std::string& executable, std::vector<std::string> arguments) const {
  auto cancellation = std::make_shared<LiveProcessCancellation>();
  auto inner = std::make_shared<EventStream<ProcessStreamEvent>>(process_->stream(
      ProcessRequest{.executable = executable, .arguments = std::move(arguments), .environment = std::nullopt},
      cancellation));
  auto [outer, continuation] = EventStream<StreamEvent>::make();

  // Dropping the outer stream stops the child and releases the mapping thread,
  // which may be waiting for the inner stream's next event.
  continuation.onTermination([cancellation, inner](StreamTermination why) {
    if (why != StreamTermination::canceled) return;
    cancellation->cancel();
    inner->cancel();
  });

  // An init-capture: clang before 16 refuses to capture a structured binding by name.
  auto map = [inner, continuation = continuation, executable] {
    while (auto event = inner->next()) {
      if (auto* line = std::get_if<ProcessStreamEvent::Line>(&event->value)) {
        continuation.yield(StreamEvent::output(std::move(line->text)));
      } else if (auto* exited = std::get_if<ProcessStreamEvent::Exited>(&event->value)) {
        continuation.yield(StreamEvent::completed(exited->code));
        break;
      } else if (auto* failed = std::get_if<ProcessStreamEvent::FailedToStart>(&event->value)) {
        continuation.yield(StreamEvent::output("Failed to start " + executable + ": " + failed->message));
        continuation.yield(StreamEvent::completed(-1));
        break;
      }
    }
    continuation.finish();
  };
  try {
    std::thread(std::move(map)).detach();
  } catch (const std::system_error& error) {
    inner->cancel();
    continuation.yield(StreamEvent::output("Failed to start " + executable + ": " + error.what()));
    continuation.yield(StreamEvent::completed(-1));
    continuation.finish();
  }
  return std::move(outer);
}

}  // namespace bnch
