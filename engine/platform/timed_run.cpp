#include "engine/platform/timed_run.h"

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace bnch {

TimedRun runWithTimeLimit(ProcessRunning& runner, const ProcessRequest& request, std::chrono::milliseconds limit) {
  TimedRun result;
  auto cancellation = std::make_shared<LiveProcessCancellation>();
  std::optional<EventStream<ProcessStreamEvent>> stream;
  try {
    stream.emplace(runner.stream(request, cancellation));
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
    if (wake.wait_for(guard, limit, [&] { return done; })) return;
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

  if (!exited) return TimedRun{};
  result.output = std::move(output);
  result.answered = true;
  return result;
}

}  // namespace bnch
