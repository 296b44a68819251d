// Kills a process that tracks events at random moments and checks that the
// pending file is always whole: absent, or a JSON list holding every event
// the process had seen written.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <thread>

#include "engine/telemetry/telemetry_event.h"
#include "tests/support/temp_dir.h"

namespace bnch {
namespace {

struct ChildOutcome {
  std::int64_t lastReported = -1;  // highest number reported as written, or -1
};

// Starts the child, kills it after `delay`, and returns what it reported.
ChildOutcome runAndKill(const std::filesystem::path& pendingFile, int run, std::chrono::milliseconds delay) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
  std::string runText = std::to_string(run);
  pid_t child = fork();
  if (child == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    close(pipeFds[0]);
    close(pipeFds[1]);
    execl(TELEMETRY_CRASH_CHILD, TELEMETRY_CRASH_CHILD, pendingFile.c_str(), runText.c_str(), nullptr);
    _exit(127);
  }
  close(pipeFds[1]);
  std::this_thread::sleep_for(delay);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);

  std::string output;
  char buffer[4096];
  ssize_t count;
  while ((count = read(pipeFds[0], buffer, sizeof buffer)) > 0) output.append(buffer, static_cast<std::size_t>(count));
  close(pipeFds[0]);
  EXPECT_TRUE(WIFSIGNALED(status)) << "the child ended by itself with status " << status;

  ChildOutcome outcome;
  // Only complete lines count: the kill may cut the last one.
  std::size_t end = output.rfind('\n');
  if (end != std::string::npos) {
    std::size_t start = output.rfind('\n', end - 1);
    start = start == std::string::npos ? 0 : start + 1;
    outcome.lastReported = std::stoll(output.substr(start, end - start));
  }
  return outcome;
}

TEST(TelemetryCrash, ThePendingFileSurvivesKillsAtRandomMoments) {
  testing::TempDir dir("bnch-telemetry-crash");
  auto pendingFile = dir.path() / "Benchkit" / "pending-events.json";
  std::mt19937 random(20261207);
  int absent = 0;
  int whole = 0;
  int killedBeforeFirstWrite = 0;
  std::int64_t eventsChecked = 0;
  std::size_t largestFile = 0;

  // The file is kept from run to run, so later runs also load it and add to it.
  for (int run = 0; run < 200; ++run) {
    auto delay = std::chrono::milliseconds(5 + random() % 250);
    ChildOutcome outcome = runAndKill(pendingFile, run, delay);
    if (outcome.lastReported < 0) ++killedBeforeFirstWrite;

    if (!std::filesystem::exists(pendingFile)) {
      ++absent;
      ASSERT_LT(outcome.lastReported, 0) << "run " << run << ": events were reported written but no file exists";
      continue;
    }
    std::string text;
    {
      FILE* file = std::fopen(pendingFile.c_str(), "rb");
      ASSERT_NE(file, nullptr);
      char buffer[65536];
      std::size_t count;
      while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, count);
      std::fclose(file);
    }
    DecodedPendingEvents decoded;
    ASSERT_NO_THROW(decoded = decodePendingEvents(text)) << "run " << run << ": the file is not a JSON list";
    ASSERT_EQ(decoded.skipped, 0u) << "run " << run;
    ++whole;
    largestFile = std::max(largestFile, decoded.events.size());

    // This run's events form an unbroken prefix 0...m with m at least the last reported number.
    std::int64_t expected = 0;
    for (const auto& event : decoded.events) {
      if (std::get<std::int64_t>(event.eventData.at("run").value) != run) continue;
      ASSERT_EQ(std::get<std::int64_t>(event.eventData.at("seq").value), expected) << "run " << run;
      ++expected;
    }
    ASSERT_GE(expected - 1, outcome.lastReported) << "run " << run << ": an event reported written is missing";
    eventsChecked += expected;
  }
  std::printf(
      "crash test: 200 kills; file absent %d times, whole %d times; %d kills before the first write; "
      "%lld events of the killed runs found; largest file %zu events\n",
      absent, whole, killedBeforeFirstWrite, static_cast<long long>(eventsChecked), largestFile);
}

}  // namespace
}  // namespace bnch
