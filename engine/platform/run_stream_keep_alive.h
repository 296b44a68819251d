#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "engine/platform/event_stream.h"
#include "engine/platform/shell_runner.h"

namespace bnch {

// What the keep-alive needs to know about an event type: how to make an output
// line and a completion, and which events end a step. Specialise it for every
// event type that is wrapped.
template <class E>
struct KeepAliveEventTraits;

template <>
struct KeepAliveEventTraits<StreamEvent> {
  static StreamEvent output(std::string text) { return StreamEvent::output(std::move(text)); }
  static StreamEvent completed(int32_t exitCode) { return StreamEvent::completed(exitCode); }
  static bool isTerminal(const StreamEvent& event) {
    return std::holds_alternative<StreamEvent::Completed>(event.value) ||
           std::holds_alternative<StreamEvent::Canceled>(event.value);
  }
};

// Wakes a sleeping watchdog early when its stream has ended. Thread-safe.
class KeepAliveStopSignal {
 public:
  // Waits up to `seconds` (negative counts as 0). Returns false, early, once stopped.
  bool waitFor(double seconds) const;
  bool stopRequested() const;
  void stop();

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool stopped_ = false;
};

// Keeps a long step's event stream alive for the person watching it: a heartbeat
// line after every `heartbeat` seconds without an event, and a stop after
// `timeout` seconds from the start of the step.
//
// wrap() returns at once and starts two threads: one forwards the input's events
// unchanged, the other (the watchdog) wakes every `tick` seconds. On time-out the
// output gets the time-out line and completed -1, nothing more, and the input
// stream is canceled (which stops the work behind it). Exactly one terminal
// event reaches the output: the input's own completion or cancellation, or the
// time-out. Dropping the output cancels the input and stops both threads.
//
// `now` and `sleep` are injected so that tests run a 20-minute step in
// microseconds. `sleep(seconds, stop)` pauses the watchdog and returns false once
// `stop` is signalled (the stream has ended); the watchdog then ends, as it does
// when `sleep` throws (the step's events still pass, without heartbeats or limit). The
// functions are copied into the stream's threads and may be called until a
// moment after the output has ended: capture by value or shared ownership.
// wrap() throws std::system_error when a thread cannot be started.
struct RunStreamKeepAlive {
  using Clock = std::chrono::steady_clock;

  double heartbeat = 15.0;  // seconds of silence before a heartbeat line; <= 0 turns heartbeats off
  double timeout = 1200.0;  // seconds from the start after which the step is stopped; <= 0: no limit
  double tick = 1.0;        // seconds between watchdog wake-ups; must be above 0
  std::function<std::string(int64_t seconds)> heartbeatLine = &RunStreamKeepAlive::progressHeartbeatLine;
  std::function<std::string(int64_t seconds)> timeoutLine = &RunStreamKeepAlive::progressTimeoutLine;
  std::function<Clock::time_point()> now = [] { return Clock::now(); };
  std::function<bool(double seconds, const KeepAliveStopSignal& stop)> sleep =
      [](double seconds, const KeepAliveStopSignal& stop) { return stop.waitFor(seconds); };

  // The values the setup progress screen uses (also the defaults): heartbeat 15 s,
  // time-out 1200 s, tick 1 s, the texts below, the steady clock and a real,
  // interruptible sleep.
  static RunStreamKeepAlive progressScreen();
  static std::string progressHeartbeatLine(int64_t seconds);
  static std::string progressTimeoutLine(int64_t seconds);

  template <class E>
  EventStream<E> wrap(EventStream<E> input) const;
};

// ---------------------------------------------------------------------------

namespace keep_alive_detail {

// Shared by the forwarding and watchdog threads of one wrapped stream. Each yield
// to the output happens under `mutex`, together with the check of `terminal`, so
// that nothing can follow the terminal event. The output stream's own lock is
// only ever taken inside this one, never the other way round.
template <class E>
struct State {
  State(RunStreamKeepAlive settings, EventStream<E> in, typename EventStream<E>::Continuation out)
      : config(std::move(settings)),
        input(std::move(in)),
        output(std::move(out)),
        start(config.now()),
        lastActivity(start) {}

  const RunStreamKeepAlive config;
  EventStream<E> input;  // next() on the forwarding thread, cancel() from anywhere
  const typename EventStream<E>::Continuation output;
  KeepAliveStopSignal stop;
  const RunStreamKeepAlive::Clock::time_point start;

  std::mutex mutex;
  RunStreamKeepAlive::Clock::time_point lastActivity;
  bool terminal = false;
};

inline double secondsBetween(RunStreamKeepAlive::Clock::time_point from, RunStreamKeepAlive::Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

template <class E>
void forward(const std::shared_ptr<State<E>>& state) {
  using Traits = KeepAliveEventTraits<E>;
  while (auto event = state->input.next()) {
    std::lock_guard guard(state->mutex);
    if (state->terminal) break;
    state->lastActivity = state->config.now();
    const bool ends = Traits::isTerminal(*event);
    if (ends) state->terminal = true;
    state->output.yield(std::move(*event));
    if (ends) break;
  }
  {
    std::lock_guard guard(state->mutex);
    state->terminal = true;
  }
  state->stop.stop();
  state->output.finish();
}

template <class E>
void watch(const std::shared_ptr<State<E>>& state) {
  using Traits = KeepAliveEventTraits<E>;
  const auto& config = state->config;
  for (;;) {
    try {
      if (!config.sleep(config.tick, state->stop)) return;
    } catch (...) {
      return;  // a sleep that cannot go on ends the watchdog, not the program
    }
    std::unique_lock guard(state->mutex);
    if (state->terminal) return;
    const auto now = config.now();
    const double elapsed = secondsBetween(state->start, now);
    if (config.timeout > 0 && elapsed >= config.timeout) {
      state->terminal = true;
      state->output.yield(Traits::output(config.timeoutLine(static_cast<int64_t>(elapsed))));
      state->output.yield(Traits::completed(-1));
      guard.unlock();
      state->stop.stop();
      state->input.cancel();  // ends the forwarding thread and the work behind the input
      state->output.finish();
      return;
    }
    if (config.heartbeat > 0 && secondsBetween(state->lastActivity, now) >= config.heartbeat) {
      state->output.yield(Traits::output(config.heartbeatLine(static_cast<int64_t>(elapsed))));
      state->lastActivity = config.now();
    }
  }
}

}  // namespace keep_alive_detail

template <class E>
EventStream<E> RunStreamKeepAlive::wrap(EventStream<E> input) const {
  auto [output, continuation] = EventStream<E>::make();
  auto state = std::make_shared<keep_alive_detail::State<E>>(*this, std::move(input), continuation);

  // The consumer stopped listening (or the stream ended): wake the watchdog and
  // stop the input. The state is held weakly so that it does not own itself.
  continuation.onTermination([weak = std::weak_ptr(state)](StreamTermination) {
    if (auto strong = weak.lock()) {
      strong->stop.stop();
      strong->input.cancel();
    }
  });

  std::thread(keep_alive_detail::forward<E>, state).detach();
  if (heartbeat > 0 || timeout > 0) std::thread(keep_alive_detail::watch<E>, state).detach();
  return std::move(output);
}

}  // namespace bnch
