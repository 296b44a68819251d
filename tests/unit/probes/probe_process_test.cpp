// Probed programs run with the live process runner under a time limit.
#include <gtest/gtest.h>

#include <memory>

#include "engine/platform/live_process_runner.h"
#include "engine/probes/probe_process.h"

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

}  // namespace
}  // namespace bnch
