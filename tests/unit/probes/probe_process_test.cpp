// Probed programs run with the live process runner under a time limit.
#include <gtest/gtest.h>

#include <memory>

#include "engine/platform/live_process_runner.h"
#include "engine/probes/probe_process.h"
#include "tests/support/scripted_process_runner.h"

namespace bnch {
namespace {

const auto runner = std::make_shared<LiveProcessRunner>();

TEST(ProbeProcess, MergesOutputAndKeepsTheExitCode) {
  const ProbeRun run = ProbeProcess(runner).run(
      ProcessRequest{.executable = "/bin/sh", .arguments = {"-c", "echo out; echo err >&2; printf 'x\\377y'; exit 3"}});
  EXPECT_TRUE(run.answered);
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_EQ(run.output, "out\nerr\nx\uFFFDy\n");
}

TEST(ProbeProcess, AProgramThatCannotStartCountsAsSilentFailure) {
  const ProbeRun run = ProbeProcess(runner).run(ProcessRequest{.executable = "/nonexistent/sysctl", .arguments = {}});
  EXPECT_EQ(run, (ProbeRun{-1, "", false}));
}

TEST(ProbeProcess, AHangingProgramIsStoppedAtItsLimit) {
  const ProbeProcess process(runner, std::chrono::milliseconds(200));
  const ProbeRun run =
      process.run(ProcessRequest{.executable = "/bin/sh", .arguments = {"-c", "echo started; exec sleep 60"}});
  EXPECT_EQ(run, (ProbeRun{-1, "", false}));
}

// A child stopped at the limit exits (143) before the reading loop sees the
// cancellation: it must still count as not answering.
TEST(ProbeProcess, AProbeThatReachedItsLimitNeverCountsAsAnswered) {
  auto scripted = std::make_shared<testing::ScriptedProcessRunner>();
  scripted->answer("/usr/bin/slow", {}, testing::ScriptedReply::hangs({"partial"}));
  const ProbeProcess process(scripted, std::chrono::milliseconds(20));
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(process.run(ProcessRequest{.executable = "/usr/bin/slow"}), (ProbeRun{-1, "", false}));
  }
}

// Of a flood of output the head and the tail are kept, within the limit.
TEST(ProbeProcess, KeepsTheHeadAndTheTailOfAFlood) {
  const ProbeRun run = ProbeProcess(runner).run(ProcessRequest{
      .executable = "/bin/sh",
      .arguments = {"-c",
                    "echo first; yes 0123456789012345678901234567890123456789 | head -c 20000000; echo; echo last"}});
  ASSERT_TRUE(run.answered);
  EXPECT_LE(run.output.size(), ProbeProcess::outputLimit + 100);
  EXPECT_TRUE(run.output.starts_with("first\n"));
  EXPECT_TRUE(run.output.ends_with("\nlast\n"));
  EXPECT_NE(run.output.find(" bytes of output left out]\n"), std::string::npos);
}

}  // namespace
}  // namespace bnch
