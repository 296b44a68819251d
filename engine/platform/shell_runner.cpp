#include "engine/platform/shell_runner.h"

#include <exception>
#include <system_error>
#include <thread>
#include <utility>

#include "engine/platform/text.h"

namespace bnch {
namespace {

constexpr const char* kLoginShell = "/bin/zsh";

}  // namespace

std::string ShellRunner::textAfterMarker(std::string_view output) {
  const std::size_t marker = output.find(outputMarker);
  if (marker == std::string_view::npos) return std::string(output);
  for (std::size_t i = marker + outputMarker.size(); i < output.size(); ++i) {
    if (const std::size_t length = lineBreakLength(output, i)) return std::string(output.substr(i + length));
  }
  return {};
}

ProcessRequest ShellRunner::markedRequest(const std::string& commandLine) {
  return ProcessRequest{
      .executable = kLoginShell,
      .arguments = {"-lc", "echo " + std::string(outputMarker) + "; " + commandLine},
      .environment = std::nullopt,
  };
}

ShellOutput ShellRunner::run(const std::string& commandLine) const {
  try {
    ProcessResult result = process_->run(markedRequest(commandLine));
    return ShellOutput{textAfterMarker(result.stdOut), result.exitCode};
  } catch (const std::exception&) {
    return ShellOutput{"", -1};
  }
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

  auto map = [inner, continuation, executable] {
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
