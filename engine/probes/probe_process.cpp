#include "engine/probes/probe_process.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace bnch {

ProbeRun ProbeProcess::run(const ProcessRequest& request) const {
  ProbeRun result;
  if (!runner_) return result;
  auto cancellation = std::make_shared<LiveProcessCancellation>();
  std::optional<EventStream<ProcessStreamEvent>> stream;
  try {
    stream.emplace(runner_->stream(request, cancellation));
  } catch (const std::exception&) {
    return result;
  }

  // The watchdog stops the child when the limit passes; cancelling the stream
  // also wakes the reading loop below at once, whatever the child does.
  std::mutex lock;
  std::condition_variable wake;
  bool done = false;
  std::thread watchdog([&] {
    std::unique_lock guard(lock);
    if (wake.wait_for(guard, timeLimit_, [&] { return done; })) return;
    guard.unlock();
    cancellation->cancel();
    stream->cancel();
  });

  bool exited = false;
  std::string output;
  while (auto event = stream->next()) {
    if (auto* line = std::get_if<ProcessStreamEvent::Line>(&event->value)) {
      output += line->text;
      output += '\n';
    } else if (auto* exit = std::get_if<ProcessStreamEvent::Exited>(&event->value)) {
      result.exitCode = exit->code;
      exited = true;
      break;
    } else {
      break;  // failed to start
    }
  }
  {
    std::lock_guard guard(lock);
    done = true;
  }
  wake.notify_all();
  watchdog.join();

  if (!exited) return ProbeRun{};
  result.output = std::move(output);
  result.answered = true;
  return result;
}

ProbeRun ProbeProcess::loginShell(const std::string& command) const {
  return run(ProcessRequest{.executable = loginShellPath, .arguments = {"-lc", command}});
}

ShellOutput ProbeProcess::markedLoginShell(const std::string& command) const {
  const ProbeRun shell = loginShell("echo " + std::string(ShellRunner::outputMarker) + "; " + command);
  if (!shell.answered) return ShellOutput{"", -1};
  return ShellOutput{ShellRunner::textAfterMarker(shell.output), shell.exitCode};
}

}  // namespace bnch
