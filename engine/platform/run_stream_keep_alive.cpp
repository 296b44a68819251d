#include "engine/platform/run_stream_keep_alive.h"

#include <algorithm>

namespace bnch {

bool KeepAliveStopSignal::waitFor(double seconds) const {
  const auto duration = std::chrono::duration<double>(std::max(seconds, 0.0));
  std::unique_lock lock(mutex_);
  return !changed_.wait_for(lock, duration, [&] { return stopped_; });
}

bool KeepAliveStopSignal::stopRequested() const {
  std::lock_guard lock(mutex_);
  return stopped_;
}

void KeepAliveStopSignal::stop() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  changed_.notify_all();
}

std::string RunStreamKeepAlive::progressHeartbeatLine(int64_t seconds) {
  return "Still working\u2026 " + std::to_string(seconds) +
         "s elapsed \u2014 a large download can take a few minutes. Please keep this window open.";
}

std::string RunStreamKeepAlive::progressTimeoutLine(int64_t seconds) {
  return "This step hasn\u2019t responded in " + std::to_string(seconds) +
         "s and was stopped. You can try again, or install it yourself from Terminal.";
}

RunStreamKeepAlive RunStreamKeepAlive::progressScreen() {
  RunStreamKeepAlive values;
  values.heartbeat = 15.0;
  values.timeout = 1200.0;
  values.tick = 1.0;
  return values;
}

}  // namespace bnch
