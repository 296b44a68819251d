#include "engine/remediation/install_transcript.h"
#include "engine/platform/text.h"

#include <algorithm>

namespace bnch {

void InstallTranscript::add(std::string_view line) {
  text_ += lowercasedASCII(line);
  text_ += '\n';
}

bool InstallTranscript::containsAny(std::string_view text, std::span<const std::string_view> markers) {
  return std::any_of(markers.begin(), markers.end(),
                     [text](std::string_view marker) { return text.find(marker) != std::string_view::npos; });
}

InstallAttempt runInstallAttempt(ProcessRunning& process, const ProcessRequest& request,
                                 const std::shared_ptr<LiveProcessCancellation>& cancellation,
                                 const EventStream<StreamEvent>::Continuation& out,
                                 std::string_view failedToStartPrefix) {
  InstallAttempt attempt;
  auto stream = process.stream(request, cancellation);
  while (auto event = stream.next()) {
    if (const auto* line = std::get_if<ProcessStreamEvent::Line>(&event->value)) {
      out.yield(StreamEvent::output(line->text));
      attempt.transcript.add(line->text);
    } else if (const auto* exited = std::get_if<ProcessStreamEvent::Exited>(&event->value)) {
      attempt.exitCode = exited->code;
    } else if (const auto* failed = std::get_if<ProcessStreamEvent::FailedToStart>(&event->value)) {
      out.yield(StreamEvent::output(std::string(failedToStartPrefix) + failed->message));
      attempt.exitCode = -1;
      attempt.started = false;
    }
  }
  attempt.canceled = cancellation->isCanceled();
  return attempt;
}

}  // namespace bnch
