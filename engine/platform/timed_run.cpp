#include "engine/platform/timed_run.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace bnch {
namespace {

// Keeps the first and the last lines of a child's output, each part up to half
// of `limit` bytes, with one line saying how much was left out between them.
class BoundedOutput {
 public:
  explicit BoundedOutput(std::size_t limit) : half_(limit / 2) {}

  void add(const std::string& line) {
    if (tail_.empty() && head_.size() + line.size() + 1 <= half_) {
      head_ += line;
      head_ += '\n';
      return;
    }
    tail_.push_back(line);
    tailBytes_ += line.size() + 1;
    while (tailBytes_ > half_ && !tail_.empty()) {
      tailBytes_ -= tail_.front().size() + 1;
      omitted_ += tail_.front().size() + 1;
      tail_.pop_front();
    }
  }

  std::string text() && {
    std::string text = std::move(head_);
    if (omitted_ > 0) text += "[" + std::to_string(omitted_) + " bytes of output left out]\n";
    for (const auto& line : tail_) {
      text += line;
      text += '\n';
    }
    return text;
  }

 private:
  std::size_t half_;
  std::string head_;
  std::deque<std::string> tail_;
  std::size_t tailBytes_ = 0;
  std::size_t omitted_ = 0;
};

}  // namespace

TimedRun runWithTimeLimit(ProcessRunning& runner, const ProcessRequest& request, std::chrono::milliseconds limit,
                          std::size_t outputLimit) {
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
  bool limitReached = false;
  std::thread watchdog([&] {
    std::unique_lock guard(lock);
    if (wake.wait_for(guard, limit, [&] { return done; })) return;
    limitReached = true;
    guard.unlock();
    cancellation->cancel();
    stream->cancel();
  });

  bool exited = false;
  BoundedOutput output(outputLimit);
  while (auto event = stream->next()) {
    if (auto* line = std::get_if<ProcessStreamEvent::Line>(&event->value)) {
      output.add(line->text);
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

  // A child that ended from the stop signal may exit before the loop saw the
  // cancellation: a run that reached its limit never counts as answered.
  if (!exited || limitReached) return TimedRun{};
  result.output = std::move(output).text();
  result.answered = true;
  return result;
}

}  // namespace bnch
