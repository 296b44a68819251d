#include "engine/platform/run_stream_keep_alive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/scripted_process_runner.h"  // printers

namespace bnch {
namespace {

using ::testing::ElementsAre;
using Clock = RunStreamKeepAlive::Clock;

// A clock that moves only when the watchdog sleeps. Once it reaches the parking
// time, the watchdog's sleep waits (until the time is moved on, or the stream
// ends), so that a test can act at an exact moment.
class FakeClock {
 public:
  explicit FakeClock(double parkAt = 1e9) : parkAt_(parkAt) {}

  Clock::time_point now() const {
    std::lock_guard lock(mutex_);
    return at(seconds_);
  }
  static Clock::time_point at(double seconds) {
    return Clock::time_point{} + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  }

  void parkAt(double seconds) {
    std::lock_guard lock(mutex_);
    parkAt_ = seconds;
  }

  // Waits until the watchdog has moved the clock to the parking time.
  void waitUntilParked() const {
    for (int i = 0; i < 30000; ++i) {
      {
        std::lock_guard lock(mutex_);
        if (seconds_ >= parkAt_) return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  bool sleep(double seconds, const KeepAliveStopSignal& stop) {
    for (;;) {
      if (stop.stopRequested()) {
        watchdogStopped = true;
        return false;
      }
      {
        std::lock_guard lock(mutex_);
        if (seconds_ < parkAt_) {
          seconds_ += seconds;
          return true;
        }
      }
      stop.waitFor(0.001);
    }
  }

  std::atomic<bool> watchdogStopped = false;

 private:
  mutable std::mutex mutex_;
  double seconds_ = 0;
  double parkAt_;
};

// The progress screen's keep-alive on a fake clock. The clock is shared with the
// keep-alive's threads, which may run a moment after a test has ended.
RunStreamKeepAlive keepAliveOn(const std::shared_ptr<FakeClock>& clock,
                               RunStreamKeepAlive settings = RunStreamKeepAlive::progressScreen()) {
  settings.now = [clock] { return clock->now(); };
  settings.sleep = [clock](double seconds, const KeepAliveStopSignal& stop) { return clock->sleep(seconds, stop); };
  return settings;
}

// The input side of a wrapped step: records how it was ended.
struct Step {
  struct Ending {
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<StreamTermination> why;
  };

  Step() {
    auto [events, continuation] = EventStream<StreamEvent>::make();
    input.emplace(std::move(events));
    producer.emplace(continuation);
    producer->onTermination([ending = ending](StreamTermination why) {
      std::lock_guard lock(ending->mutex);
      ending->why = why;
      ending->changed.notify_all();
    });
  }
  std::optional<StreamTermination> waitForEnd() const {
    std::unique_lock lock(ending->mutex);
    ending->changed.wait_for(lock, std::chrono::seconds(30), [&] { return ending->why.has_value(); });
    return ending->why;
  }

  std::optional<EventStream<StreamEvent>> input;
  std::optional<EventStream<StreamEvent>::Continuation> producer;
  std::shared_ptr<Ending> ending = std::make_shared<Ending>();
};

bool isCompleted(const StreamEvent& event) { return std::holds_alternative<StreamEvent::Completed>(event.value); }

TEST(RunStreamKeepAlive, ProgressScreenTextsAreExact) {
  EXPECT_EQ(RunStreamKeepAlive::progressHeartbeatLine(15),
            "Still working\xE2\x80\xA6 15s elapsed \xE2\x80\x94 a large download can take a few minutes. Please keep "
            "this window open.");
  EXPECT_EQ(RunStreamKeepAlive::progressTimeoutLine(1200),
            "This step hasn\xE2\x80\x99t responded in 1200s and was stopped. You can try again, or install it "
            "yourself from Terminal.");
  const auto values = RunStreamKeepAlive::progressScreen();
  EXPECT_EQ(values.heartbeat, 15.0);
  EXPECT_EQ(values.timeout, 1200.0);
  EXPECT_EQ(values.tick, 1.0);
}

TEST(RunStreamKeepAlive, FortyFiveQuietSecondsGiveThreeHeartbeats) {
  auto clock = std::make_shared<FakeClock>(45);
  Step step;
  auto output = keepAliveOn(clock).wrap(std::move(*step.input));

  EXPECT_EQ(output.next(), StreamEvent::output(RunStreamKeepAlive::progressHeartbeatLine(15)));
  EXPECT_EQ(output.next(), StreamEvent::output(RunStreamKeepAlive::progressHeartbeatLine(30)));
  EXPECT_EQ(output.next(), StreamEvent::output(RunStreamKeepAlive::progressHeartbeatLine(45)));
  step.producer->yield(StreamEvent::output("==> Pouring uv"));
  step.producer->yield(StreamEvent::completed(0));
  EXPECT_THAT(output.collect(), ElementsAre(StreamEvent::output("==> Pouring uv"), StreamEvent::completed(0)));
}

TEST(RunStreamKeepAlive, OutputPostponesTheNextHeartbeat) {
  auto clock = std::make_shared<FakeClock>(10);
  Step step;
  auto output = keepAliveOn(clock).wrap(std::move(*step.input));
  clock->waitUntilParked();
  step.producer->yield(StreamEvent::output("progress at 10s"));
  EXPECT_EQ(output.next(), StreamEvent::output("progress at 10s"));
  clock->parkAt(40);
  // Quiet since 10 s: heartbeats at 25 s and 40 s, not at 15 s and 30 s.
  EXPECT_EQ(output.next(), StreamEvent::output(RunStreamKeepAlive::progressHeartbeatLine(25)));
  EXPECT_EQ(output.next(), StreamEvent::output(RunStreamKeepAlive::progressHeartbeatLine(40)));
  step.producer->finish();
  EXPECT_THAT(output.collect(), ElementsAre());
}

TEST(RunStreamKeepAlive, StepStillRunningAt1200SecondsIsStoppedWithNothingAfter) {
  auto clock = std::make_shared<FakeClock>(0);
  Step step;
  auto output = keepAliveOn(clock).wrap(std::move(*step.input));
  step.producer->yield(StreamEvent::output("==> Downloading"));
  ASSERT_EQ(output.next(), StreamEvent::output("==> Downloading"));
  clock->parkAt(1e9);
  auto events = output.collect();
  events.insert(events.begin(), StreamEvent::output("==> Downloading"));

  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events.front(), StreamEvent::output("==> Downloading"));
  EXPECT_THAT(
      std::vector(events.end() - 2, events.end()),
      ElementsAre(StreamEvent::output(RunStreamKeepAlive::progressTimeoutLine(1200)), StreamEvent::completed(-1)));
  // Heartbeats every 15 quiet seconds until then: at 15, 30, ... 1185.
  EXPECT_EQ(events.size(), 1u + 79 + 2);
  EXPECT_EQ(events[79], StreamEvent::output(RunStreamKeepAlive::progressHeartbeatLine(1185)));
  // The step's own stream was canceled, and nothing it yields now gets through.
  EXPECT_EQ(step.waitForEnd(), StreamTermination::canceled);
  EXPECT_FALSE(step.producer->yield(StreamEvent::completed(0)));
}

TEST(RunStreamKeepAlive, StepThatCompletesInTimeIsNeverStopped) {
  auto clock = std::make_shared<FakeClock>(600);
  auto events = keepAliveOn(clock)
                    .wrap(EventStream<StreamEvent>::of({StreamEvent::output("done"), StreamEvent::completed(0)}))
                    .collect();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back(), StreamEvent::completed(0));
  for (const auto& event : events) EXPECT_NE(event, StreamEvent::output(RunStreamKeepAlive::progressTimeoutLine(600)));
  EXPECT_EQ(std::count_if(events.begin(), events.end(), isCompleted), 1);
}

TEST(RunStreamKeepAlive, CompletionRacingTheTimeOutGivesExactlyOneCompletion) {
  for (int round = 0; round < 200; ++round) {
    auto clock = std::make_shared<FakeClock>();
    RunStreamKeepAlive settings = keepAliveOn(clock);
    settings.timeout = 1;
    settings.heartbeat = 0;
    Step step;
    auto output = settings.wrap(std::move(*step.input));
    step.producer->yield(StreamEvent::completed(0));
    const auto events = output.collect();
    ASSERT_FALSE(events.empty());
    ASSERT_TRUE(isCompleted(events.back())) << "round " << round;
    ASSERT_EQ(std::count_if(events.begin(), events.end(), isCompleted), 1) << "round " << round;
  }
}

TEST(RunStreamKeepAlive, ASleepThatThrowsEndsOnlyTheWatchdog) {
  auto clock = std::make_shared<FakeClock>(30);
  RunStreamKeepAlive settings = keepAliveOn(clock);
  auto sleeps = std::make_shared<std::atomic<int>>(0);
  settings.sleep = [clock, sleeps](double seconds, const KeepAliveStopSignal& stop) {
    if (++*sleeps > 15) throw std::runtime_error("sleep interrupted");
    return clock->sleep(seconds, stop);
  };
  Step step;
  auto output = settings.wrap(std::move(*step.input));
  EXPECT_EQ(output.next(), StreamEvent::output(RunStreamKeepAlive::progressHeartbeatLine(15)));
  while (*sleeps <= 15) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  step.producer->yield(StreamEvent::output("still here"));
  step.producer->yield(StreamEvent::completed(0));
  EXPECT_THAT(output.collect(), ElementsAre(StreamEvent::output("still here"), StreamEvent::completed(0)));
}

TEST(RunStreamKeepAlive, CanceledEndsTheStepAndIsPassedOn) {
  auto clock = std::make_shared<FakeClock>(0);
  auto events =
      keepAliveOn(clock).wrap(EventStream<StreamEvent>::of({StreamEvent::canceled(), StreamEvent::output("late")}));
  EXPECT_THAT(events.collect(), ElementsAre(StreamEvent::canceled()));
}

TEST(RunStreamKeepAlive, DroppingTheOutputStopsTheStepAndTheWatchdog) {
  auto clock = std::make_shared<FakeClock>(20);
  Step step;
  {
    auto output = keepAliveOn(clock).wrap(std::move(*step.input));
    EXPECT_EQ(output.next(), StreamEvent::output(RunStreamKeepAlive::progressHeartbeatLine(15)));
  }
  EXPECT_EQ(step.waitForEnd(), StreamTermination::canceled);
  for (int i = 0; i < 3000 && !clock->watchdogStopped; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(clock->watchdogStopped);
}

}  // namespace
}  // namespace bnch
