#include "engine/platform/live_process_runner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "tests/support/scripted_process_runner.h"  // printers

namespace bnch {
namespace {

using ::testing::ElementsAre;

ProcessRequest shell(std::string script) { return {.executable = "/bin/sh", .arguments = {"-c", std::move(script)}}; }

std::vector<ProcessStreamEvent> streamAll(LiveProcessRunner& runner, const ProcessRequest& request) {
  return runner.stream(request, std::make_shared<LiveProcessCancellation>()).collect();
}

std::string lineText(const std::optional<ProcessStreamEvent>& event) {
  if (!event) return "<end of stream>";
  const auto* line = std::get_if<ProcessStreamEvent::Line>(&event->value);
  return line ? line->text : "<not a line>";
}

// True once `pid` has ended (gone, or a zombie waiting for a parent that is not us).
bool hasEnded(pid_t pid) {
  if (::kill(pid, 0) != 0) return true;
  LiveProcessRunner runner;
  const auto result = runner.run({.executable = "/bin/ps", .arguments = {"-o", "stat=", "-p", std::to_string(pid)}});
  return result.exitCode != 0 || result.stdOut.starts_with("Z");
}

// Waits for something that must happen soon; the bound only keeps a broken build from hanging.
template <class Condition>
bool eventually(Condition condition) {
  for (int i = 0; i < 1000; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

TEST(LiveProcessRunner, ReadsMegabytesFromBothPipesWhicheverTheChildFillsFirst) {
  LiveProcessRunner runner;
  // Standard error is filled first: a reader that waited for standard output to
  // end before reading standard error would deadlock here.
  const auto result =
      runner.run(shell("head -c 8388608 /dev/zero | tr '\\000' e >&2; head -c 8388608 /dev/zero | tr '\\000' o; "
                       "head -c 5 /dev/zero | tr '\\000' E >&2"));
  EXPECT_EQ(result.exitCode, 0);
  ASSERT_EQ(result.stdOut.size(), 8u * 1024 * 1024);
  ASSERT_EQ(result.stdErr.size(), 8u * 1024 * 1024 + 5);
  EXPECT_EQ(result.stdOut.find_first_not_of('o'), std::string::npos);
  EXPECT_EQ(result.stdErr.find_first_not_of('e'), 8u * 1024 * 1024);
  EXPECT_EQ(result.stdErr.substr(8u * 1024 * 1024), "EEEEE");
}

TEST(LiveProcessRunner, ReportsExitStatusAndSignals) {
  LiveProcessRunner runner;
  EXPECT_EQ(runner.run(shell("echo out; echo err >&2; exit 7")), (ProcessResult{7, "out\n", "err\n"}));
  EXPECT_EQ(runner.run(shell("kill -TERM $$")).exitCode, 128 + SIGTERM);
  EXPECT_EQ(runner.run(shell("kill -KILL $$")).exitCode, 128 + SIGKILL);
}

TEST(LiveProcessRunner, ProgramThatCannotStartThrowsFromRunAndFailsOnceFromStream) {
  LiveProcessRunner runner;
  const ProcessRequest missing{.executable = "/nonexistent/bnch-no-such-tool", .arguments = {"--version"}};
  const std::string notFound = std::generic_category().message(ENOENT);
  try {
    runner.run(missing);
    FAIL() << "run of a missing program returned";
  } catch (const ProcessLaunchError& error) {
    EXPECT_EQ(error.what(), notFound);
  }
  EXPECT_THAT(streamAll(runner, missing), ElementsAre(ProcessStreamEvent::failedToStart(notFound)));

  // A file that exists but may not be executed fails to start too, with its own reason.
  char path[] = "/tmp/bnch-not-executable-XXXXXX";
  const int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  ::close(fd);
  const ProcessRequest notExecutable{.executable = path};
  EXPECT_THROW(runner.run(notExecutable), ProcessLaunchError);
  EXPECT_THAT(streamAll(runner, notExecutable),
              ElementsAre(ProcessStreamEvent::failedToStart(std::generic_category().message(EACCES))));
  ::unlink(path);
}

TEST(LiveProcessRunner, EnvironmentIsInheritedWhenAbsentAndReplacedWhenGiven) {
  LiveProcessRunner runner;
  ::setenv("BNCH_PROCESS_TEST_VALUE", "inherited", 1);
  EXPECT_EQ(runner.run(shell("echo \"$BNCH_PROCESS_TEST_VALUE\"")).stdOut, "inherited\n");
  ::unsetenv("BNCH_PROCESS_TEST_VALUE");

  const auto replaced = runner.run({.executable = "/usr/bin/env", .environment = Environment{{"ONLY", "this one"}}});
  EXPECT_EQ(replaced.stdOut, "ONLY=this one\n");
  EXPECT_EQ(runner.run({.executable = "/usr/bin/env", .environment = Environment{}}).stdOut, "");
}

TEST(LiveProcessRunner, StreamMergesBothPipesInArrivalOrderAndEndsWithTheExitCode) {
  LiveProcessRunner runner;
  EXPECT_THAT(streamAll(runner, shell("echo a; echo b >&2; exit 3")),
              ElementsAre(ProcessStreamEvent::line("a"), ProcessStreamEvent::line("b"), ProcessStreamEvent::exited(3)));
}

TEST(LiveProcessRunner, StreamDeliversEveryLineBeforeExitedIncludingAnUnterminatedLastLine) {
  LiveProcessRunner runner;
  // The child exits right after writing: its last lines are still in the pipe when it is reaped.
  const auto events = streamAll(
      runner,
      shell("i=0; while [ $i -lt 3000 ]; do echo line$i; i=$((i+1)); done; printf 'crlf\\r\\n\\nlast'; exit 4"));
  ASSERT_EQ(events.size(), 3000u + 4);
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(events[i], ProcessStreamEvent::line("line" + std::to_string(i)));
  EXPECT_THAT(std::vector(events.end() - 4, events.end()),
              ElementsAre(ProcessStreamEvent::line("crlf"), ProcessStreamEvent::line(""),
                          ProcessStreamEvent::line("last"), ProcessStreamEvent::exited(4)));
}

TEST(LiveProcessRunner, StreamSplitsAtEveryLineBreakAlsoWhenItArrivesInPieces) {
  LiveProcessRunner runner;
  // A progress bar redrawn with CR, a CRLF and a U+2028 split across writes, NEL,
  // VT and FF, and a CR at the very end.
  const auto events = streamAll(runner, shell("printf ' 10%%\r 55%%\r'; sleep 0.05; printf '\ndone\342\200'; "
                                              "sleep 0.05; printf '\250next\302\205five\v\fsix\r'"));
  EXPECT_THAT(events, ElementsAre(ProcessStreamEvent::line(" 10%"), ProcessStreamEvent::line(" 55%"),
                                  ProcessStreamEvent::line("done"), ProcessStreamEvent::line("next"),
                                  ProcessStreamEvent::line("five"), ProcessStreamEvent::line(""),
                                  ProcessStreamEvent::line("six"), ProcessStreamEvent::exited(0)));
}

TEST(LiveProcessRunner, InvalidUtf8IsKeptWithReplacementCharacters) {
  LiveProcessRunner runner;
  const std::string script = "printf 'caf\\303\\251 \\377 ok\\n'; printf 'bad \\340\\200 end\\n' >&2";
  const auto result = runner.run(shell(script));
  EXPECT_EQ(result.stdOut, "caf\xC3\xA9 \xEF\xBF\xBD ok\n");
  EXPECT_EQ(result.stdErr, "bad \xEF\xBF\xBD\xEF\xBF\xBD end\n");
  EXPECT_THAT(streamAll(runner, shell(script)),
              ElementsAre(ProcessStreamEvent::line("caf\xC3\xA9 \xEF\xBF\xBD ok"),
                          ProcessStreamEvent::line("bad \xEF\xBF\xBD\xEF\xBF\xBD end"), ProcessStreamEvent::exited(0)));
}

TEST(LiveProcessRunner, CancelBeforeLaunchEndsTheChildAsSoonAsItStarts) {
  LiveProcessRunner runner;
  auto cancellation = std::make_shared<LiveProcessCancellation>();
  cancellation->cancel();
  auto events = runner.stream({.executable = "/bin/sleep", .arguments = {"60"}}, cancellation).collect();
  EXPECT_THAT(events, ElementsAre(ProcessStreamEvent::exited(128 + SIGTERM)));
}

TEST(LiveProcessRunner, CancellingAStreamEndsTheWholeProcessGroup) {
  LiveProcessRunner runner;
  auto cancellation = std::make_shared<LiveProcessCancellation>();
  auto stream = runner.stream(shell("sleep 100 & echo $!; wait"), cancellation);
  const std::string grandchild = lineText(stream.next());
  ASSERT_FALSE(grandchild.empty());
  const pid_t pid = std::stoi(grandchild);

  cancellation->cancel();
  EXPECT_THAT(stream.collect(), ElementsAre(ProcessStreamEvent::exited(128 + SIGTERM)));
  EXPECT_TRUE(eventually([&] { return hasEnded(pid); })) << "the background sleep survived the cancel";
}

// Limits: a run stops at its time limit, and stopping the program ends every
// group it started, also descendants that ignore the terminate request.
TEST(LiveProcessRunner, ARunStopsAtItsTimeLimitAndAllGroupsEndOnRequest) {
  LiveProcessRunner runner;
  ProcessRequest hanging = shell("echo waiting; sleep 100 & wait");
  hanging.timeLimit = std::chrono::milliseconds(200);
  const ProcessResult stopped = runner.run(hanging);
  EXPECT_TRUE(stopped.timedOut);
  EXPECT_EQ(stopped.exitCode, 128 + SIGTERM);
  EXPECT_EQ(stopped.stdOut, "waiting\n");
  hanging.timeLimit = std::chrono::seconds(30);
  EXPECT_FALSE(runner.run(shell("exit 0")).timedOut);

  auto first = runner.stream(shell("trap '' TERM; sleep 100 & echo $!; wait"), nullptr);
  auto second = runner.stream(shell("echo $$; exec sleep 100"), nullptr);
  const pid_t stubborn = std::stoi(lineText(first.next()));
  const pid_t plain = std::stoi(lineText(second.next()));
  EXPECT_GE(endAllChildProcessGroups(std::chrono::milliseconds(300)), 2);
  EXPECT_TRUE(eventually([&] { return hasEnded(stubborn) && hasEnded(plain); }));
  EXPECT_FALSE(first.collect().empty());
  EXPECT_FALSE(second.collect().empty());
}

TEST(LiveProcessRunner, DroppingTheStreamTerminatesTheChild) {
  LiveProcessRunner runner;
  auto cancellation = std::make_shared<LiveProcessCancellation>();
  pid_t pid = 0;
  {
    auto stream = runner.stream(shell("echo $$; exec sleep 100"), cancellation);
    pid = std::stoi(lineText(stream.next()));
  }
  EXPECT_TRUE(cancellation->isCanceled());
  EXPECT_TRUE(eventually([&] { return hasEnded(pid); }));
}

TEST(LiveProcessRunner, DescendantThatIgnoresTerminateAndHoldsThePipeDoesNotHoldUpTheStream) {
  LiveProcessRunner runner;
  auto cancellation = std::make_shared<LiveProcessCancellation>();
  // The subshell ignores SIGTERM, and so does the sleep it becomes; it keeps the pipe open.
  auto stream = runner.stream(shell("(trap '' TERM; exec sleep 100) & echo $!; wait"), cancellation);
  const pid_t pid = std::stoi(lineText(stream.next()));
  cancellation->cancel();
  EXPECT_THAT(stream.collect(), ElementsAre(ProcessStreamEvent::exited(128 + SIGTERM)));
  ::kill(pid, SIGKILL);

  // Same for run(): a background job left holding standard output.
  const auto result = runner.run(shell("sleep 100 & echo $!"));
  EXPECT_EQ(result.exitCode, 0);
  ::kill(std::stoi(result.stdOut), SIGKILL);
}

// A child that only counts terminate requests.
class CountingProcess final : public RunningProcess {
 public:
  bool isRunning() const override { return running; }
  void terminate() override {
    ++terminateRequests;
    running = false;
  }
  bool running = true;
  int terminateRequests = 0;
};

TEST(ProcessCancellation, OneCancelReachesWhicheverProcessIsCurrentAndOnlyOnce) {
  // No handle yet: the cancel is only remembered.
  CancellableProcess run;
  run.cancel();
  EXPECT_TRUE(run.isCanceled());

  // A handle registered after the cancel is canceled at once, and so is the
  // process attached to it later.
  auto handle = std::make_shared<LiveProcessCancellation>();
  run.setCurrent(handle);
  EXPECT_TRUE(handle->isCanceled());
  auto late = std::make_shared<CountingProcess>();
  handle->attach(late);
  EXPECT_EQ(late->terminateRequests, 1);

  // A running process attached first gets the request when the cancel comes; one
  // that has already ended gets none.
  CancellableProcess second;
  auto current = std::make_shared<LiveProcessCancellation>();
  auto child = std::make_shared<CountingProcess>();
  current->attach(child);
  second.setCurrent(current);
  EXPECT_EQ(child->terminateRequests, 0);
  second.cancel();
  EXPECT_EQ(child->terminateRequests, 1);
  second.cancel();
  EXPECT_EQ(child->terminateRequests, 1);
}

TEST(LiveProcessRunner, ConcurrentRunsEachGetTheirOwnOutput) {
  LiveProcessRunner runner;
  std::vector<std::thread> threads;
  std::vector<ProcessResult> results(8);
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back(
        [&, i] { results[i] = runner.run(shell("echo " + std::to_string(i) + "; exit " + std::to_string(i))); });
  }
  for (auto& thread : threads) thread.join();
  for (int i = 0; i < 8; ++i) EXPECT_EQ(results[i], (ProcessResult{i, std::to_string(i) + "\n", ""}));
}

}  // namespace
}  // namespace bnch
