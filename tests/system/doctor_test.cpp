// benchkit-doctor runs unchanged in the simulated Mac and its JSON comes back parsed.
#include <gtest/gtest.h>

#include "harness/simulated_mac.h"

namespace bnch::systest {
namespace {

TEST(Doctor, ConfigJsonComesBackFromTheSimulatedMac) {
  if (!sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  const nlohmann::json config = doctorJson("fresh-mac", {"config"});
  ASSERT_TRUE(config.is_object());
  EXPECT_EQ(config.value("displayName", ""), "Benchkit for Python");
}

TEST(Doctor, OutputThatIsNotJsonIsReportedWithBothStreams) {
  if (!sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  try {
    doctorJson("fresh-mac", {"no-such-command"});
    FAIL() << "expected an error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("usage: benchkit-doctor"), std::string::npos) << e.what();
  }
}

// Output that cannot be written is a failure, and input is never echoed raw to a terminal.
TEST(Doctor, WriteErrorsFailAndUnknownInputIsEscaped) {
  if (!sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  const std::string doctor = "'" + doctorPath().string() + "'";
  const MacRun full = runInMac("fresh-mac", {"/bin/bash", "-c", doctor + " config --json >/dev/full"});
  EXPECT_EQ(full.exitCode, 1);
  EXPECT_NE(full.err.find("benchkit-doctor: couldn\u2019t write the output: No space left on device"),
            std::string::npos)
      << full.err;

  const MacRun unknown = runInMac("fresh-mac", {doctorPath().string(), "\x1b]0;owned\x07\"x\\\xff"});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_TRUE(unknown.err.starts_with("benchkit-doctor: unknown command \"\\x1B]0;owned\\x07\\\"x\\\\\\xFF\"\n"))
      << unknown.err;
}

TEST(Doctor, VerifyPassesOnAReadyMacAndCannotJudgeThePackageOffline) {
  if (!sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  const nlohmann::json ready = doctorJson("ready-mac", {"verify"});
  EXPECT_EQ(ready.value("passed", false), true) << ready.dump(2);
  EXPECT_EQ(ready["details"].value("python_version", ""), "3.13.1");
  EXPECT_EQ(ready["verifiedItems"].size(), 4u);

  const nlohmann::json offline = doctorJson("offline", {"verify"});
  EXPECT_EQ(offline.value("passed", false), true) << offline.dump(2);
  EXPECT_EQ(offline["details"].value("undetermined_checks", ""), "package_installs");

  const nlohmann::json fresh = doctorJson("fresh-mac", {"verify"});
  EXPECT_EQ(fresh.value("passed", true), false);
  EXPECT_EQ(fresh["failedChecks"].at(0), "uv_resolves");
}

// The simulated Mac decides the free disk space (to the volume's block size), so
// the verdict is the same on every host that runs the tests.
TEST(Doctor, DiskReadinessFollowsTheScenariosFreeSpace) {
  if (!sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  const std::vector<std::pair<double, std::string>> cases = {{200, "ok"}, {20, "low"}, {1, "critical"}};
  for (const auto& [gigabytes, verdict] : cases) {
    DerivedScenario scenario("fresh-mac", {{"machine", {{"disk_free_gb", gigabytes}}}});
    const nlohmann::json readiness = doctorJson(scenario.path(), {"readiness", "--no-network"});
    EXPECT_EQ(readiness["disk"].value("verdict", ""), verdict) << gigabytes << " GB: " << readiness.dump(2);
    EXPECT_NEAR(readiness["disk"].value("availableBytes", 0.0), gigabytes * 1e9, 65536) << gigabytes << " GB";
  }
}

}  // namespace
}  // namespace bnch::systest
