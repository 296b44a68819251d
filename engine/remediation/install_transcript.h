#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "engine/platform/event_stream.h"
#include "engine/platform/process_running.h"
#include "engine/platform/shell_runner.h"

namespace bnch {

// The lower-cased text of an installer's output, each line followed by a line
// feed, in which recoveries look for the substrings that tell what went wrong.
// Lower-casing is ASCII only (the markers are ASCII). Not thread-safe.
class InstallTranscript {
 public:
  void add(std::string_view line);
  const std::string& text() const { return text_; }
  bool contains(std::string_view marker) const { return text_.find(marker) != std::string::npos; }

  static bool containsAny(std::string_view text, std::span<const std::string_view> markers);

 private:
  std::string text_;
};

// One run of an installer process, as its caller judges it.
struct InstallAttempt {
  int32_t exitCode = -1;  // -1 when it did not start
  bool started = true;    // false: it failed to start
  bool canceled = false;  // the cancellation handle was used
  InstallTranscript transcript;
};

// Streams one installer process to its end on the calling thread: each line goes
// to `out` as output and into the transcript; a failed start is reported as
// `failedToStartPrefix` + the reason.
InstallAttempt runInstallAttempt(ProcessRunning& process, const ProcessRequest& request,
                                 const std::shared_ptr<LiveProcessCancellation>& cancellation,
                                 const EventStream<StreamEvent>::Continuation& out,
                                 std::string_view failedToStartPrefix);

}  // namespace bnch
