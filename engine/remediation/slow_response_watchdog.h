#pragma once

#include <functional>
#include <memory>
#include <thread>

#include "engine/platform/run_stream_keep_alive.h"

namespace bnch {

// Calls `onSlow` once, on a thread of its own, when `seconds` pass on the steady
// clock before stop() (or the destructor) is called. The destructor stops the
// watchdog and waits for its thread, so `onSlow` never runs after it. Owned by
// the one step it guards; stop() may be called from any thread.
class SlowResponseWatchdog {
 public:
  SlowResponseWatchdog(double seconds, std::function<void()> onSlow)
      : signal_(std::make_shared<KeepAliveStopSignal>()),
        thread_([signal = signal_, seconds, onSlow = std::move(onSlow)] {
          if (signal->waitFor(seconds)) onSlow();
        }) {}
  ~SlowResponseWatchdog() {
    stop();
    thread_.join();
  }
  SlowResponseWatchdog(const SlowResponseWatchdog&) = delete;
  SlowResponseWatchdog& operator=(const SlowResponseWatchdog&) = delete;

  void stop() { signal_->stop(); }

 private:
  std::shared_ptr<KeepAliveStopSignal> signal_;
  std::thread thread_;
};

}  // namespace bnch
