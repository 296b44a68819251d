// benchkit-doctor verify in the simulated Mac: the Python verifier with the live
// services, against the fake uv and a real login zsh.
#include <gtest/gtest.h>

#include "harness/simulated_mac.h"

namespace bnch::systest {
namespace {

class Verify : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  }
};

TEST_F(Verify, AReadyMacPassesAllFourChecks) {
  const nlohmann::json result = doctorJson("ready-mac", {"verify"});
  EXPECT_EQ(result["passed"], true) << result.dump(2);
  EXPECT_EQ(result["engineOutcome"], "likely_resolved");
  EXPECT_TRUE(result["exitCode"].is_null());
  EXPECT_EQ(result["verifiedItems"], nlohmann::json::array({
                                         "uv is available in a new terminal window (uv 0.5.11 (Homebrew 2024-12-19))",
                                         "Python 3.13.1 is installed and managed by uv",
                                         "A project can be created",
                                         "A package installs and imports",
                                     }));
  EXPECT_EQ(result["failedChecks"], nlohmann::json::array());
  EXPECT_EQ(result["details"], (nlohmann::json{{"python_version", "3.13.1"}, {"probe_removed", "true"}}));
}

TEST_F(Verify, GreetingsFromLoginFilesNeverReachTheResult) {
  const nlohmann::json result = doctorJson("noisy-zprofile", {"verify"});
  EXPECT_EQ(result["passed"], true) << result.dump(2);
  EXPECT_EQ(result["verifiedItems"].size(), 4u);
  const std::string raw = result["rawOutput"];
  EXPECT_EQ(raw.find("Welcome back"), std::string::npos) << raw;
  EXPECT_EQ(raw.find("fortune:"), std::string::npos) << raw;
  EXPECT_EQ(raw.rfind("uv 0.5.11", 0), 0u) << raw;
}

TEST_F(Verify, AProbeLeftByAnEarlierRunDoesNotBreakProjectCreation) {
  const std::string probe = "$HOME/Library/Caches/BenchkitPython/verify-probe";
  const MacRun run = runInMac("ready-mac", {"/bin/bash", "-c",
                                            "mkdir -p " + probe + " && echo '[project]' > " + probe +
                                                "/pyproject.toml && \"$0\" verify --json && "
                                                "{ test -e " +
                                                probe + " && echo LEFT || echo GONE; }",
                                            doctorPath().string()});
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  ASSERT_TRUE(run.out.ends_with("GONE\n")) << run.out;
  const nlohmann::json result = nlohmann::json::parse(run.out.substr(0, run.out.size() - 5));
  EXPECT_EQ(result["passed"], true) << result.dump(2);
  EXPECT_EQ(result["details"]["probe_removed"], "true");
}

TEST_F(Verify, OfflineThePackageCheckIsUndeterminedNotFailed) {
  const nlohmann::json result = doctorJson("offline", {"verify"});
  EXPECT_EQ(result["passed"], true) << result.dump(2);
  EXPECT_EQ(result["engineOutcome"], "likely_resolved");
  EXPECT_EQ(result["details"]["undetermined_checks"], "package_installs");
  EXPECT_EQ(result["failedChecks"], nlohmann::json::array());
  EXPECT_EQ(result["verifiedItems"].size(), 3u);
}

TEST_F(Verify, AFreshMacFailsEveryCheck) {
  const nlohmann::json result = doctorJson("fresh-mac", {"verify"});
  EXPECT_EQ(result["passed"], false);
  EXPECT_EQ(result["engineOutcome"], "blocked");
  EXPECT_EQ(result["failedChecks"],
            nlohmann::json::array({"uv_resolves", "python_runs", "project_created", "package_installs"}));
  EXPECT_EQ(result["details"]["probe_removed"], "false");
}

}  // namespace
}  // namespace bnch::systest
