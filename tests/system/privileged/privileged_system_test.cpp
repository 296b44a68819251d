// Administrator installs in the simulated Mac: the password dialog through the askpass
// script, Homebrew from a fresh Mac, a cask blocked by a leftover app, and Temurin from a
// local stand-in of the Adoptium service with its checksum checked.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "harness/adoptium_stand_in.h"
#include "harness/simulated_mac.h"

namespace bnch::systest {
namespace {

const std::string driver = BNCH_PRIVILEGED_DRIVER_PATH;

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class PrivilegedInstalls : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  }
  MacRun drive(const std::string& scenario, std::vector<std::string> args, MacRunOptions options = {}) {
    args.insert(args.begin(), driver);
    MacRun run = runInMac(scenario, args, options);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    return run;
  }
};

TEST_F(PrivilegedInstalls, HomebrewOnAFreshMacWithThePasswordDialogAnswered) {
  ScratchDir scratch;
  const MacRun run = drive("fresh-mac", {"homebrew"}, {.keep = scratch.sub("mac")});
  EXPECT_TRUE(
      run.out.ends_with("output: Appending brew shellenv to ~/.zprofile (so brew is fully integrated in new shells).\n"
                        "output: Appended. Backup at /Users/alice/.zprofile.bak.\n"
                        "completed: 0\n"))
      << run.out;
  EXPECT_FALSE(contains(run.out, "leftover:")) << run.out;
  EXPECT_TRUE(std::filesystem::exists(scratch.sub("mac") / "opt/homebrew/bin/brew"));
  EXPECT_TRUE(
      contains(readFile(scratch.sub("mac") / "Users/alice/.zprofile"), "eval \"$(/opt/homebrew/bin/brew shellenv)\""));
}

TEST_F(PrivilegedInstalls, HomebrewWithThePasswordDialogCancelledEndsCanceledAndLeavesNothing) {
  ScratchDir scratch;
  DerivedScenario cancel("fresh-mac", {{"machine", {{"dialog", "cancel"}}}});
  const MacRun run = drive(cancel.path(), {"homebrew"}, {.keep = scratch.sub("mac")});
  EXPECT_TRUE(run.out.ends_with("canceled\n")) << run.out;
  EXPECT_FALSE(contains(run.out, "leftover:")) << run.out;
  EXPECT_FALSE(std::filesystem::exists(scratch.sub("mac") / "opt/homebrew/bin/brew"));
  for (const auto& entry : std::filesystem::directory_iterator(scratch.sub("mac") / "tmp")) {
    EXPECT_FALSE(entry.path().filename().string().starts_with("bnch-priv-")) << entry.path();
  }
}

// osascript receives the dialog text exactly as escaped for AppleScript: the shell
// expanded nothing (no $HOME, no command substitution), and sudo got the password.
TEST_F(PrivilegedInstalls, TheAskpassScriptHandsOsascriptTheEscapedPromptUntouched) {
  ScratchDir scratch;
  const auto record = scratch.path() / "osascript.txt";
  DerivedScenario recording("fresh-mac", {{"programs", {{"osascript", {{"options", {{"record", record.string()}}}}}}}});
  const std::string prompt = "Type \"it\" at C:\\tmp for $HOME and `id -u` or $(id -u)";
  const MacRun run = drive(recording.path(), {"askpass", prompt}, {.share = {scratch.path()}});
  EXPECT_TRUE(contains(run.out, "sudo: ok")) << run.out << run.err;
  EXPECT_EQ(readFile(record),
            "activate\n"
            "display dialog \"Type \\\"it\\\" at C:\\\\tmp for $HOME and `id -u` or $(id -u)\" default answer \"\" "
            "with hidden answer with title \"Benchkit for Python\" with icon caution buttons {\"Cancel\", \"OK\"} "
            "default button \"OK\"\n"
            "return text returned of result\n"
            "--- end of script ---\n");
}

TEST_F(PrivilegedInstalls, ACaskBlockedByALeftoverAppIsForcedOnce) {
  DerivedScenario leftover("ready-mac", {{"tools", {{"apps", {"Zed.app"}}}}});
  const MacRun run = drive(leftover.path(), {"cask", "zed"});
  const auto blocked = run.out.find("Error: It seems there is already an App at '/Applications/Zed.app'.");
  const std::string announcement =
      "output: \noutput: A leftover file is blocking the install. Retrying with `brew install --cask --force zed`…";
  const auto announced = run.out.find(announcement);
  ASSERT_NE(blocked, std::string::npos) << run.out;
  ASSERT_NE(announced, std::string::npos) << run.out;
  EXPECT_LT(blocked, announced);
  EXPECT_EQ(run.out.find("Retrying with", announced + announcement.size()), std::string::npos)
      << "a second recovery: " << run.out;
  EXPECT_TRUE(run.out.ends_with("completed: 0\n")) << run.out;
}

TEST_F(PrivilegedInstalls, TemurinFallsBackToTheVerifiedPackageWhenHomebrewBypassesTheWrapper) {
  AdoptiumStandIn adoptium;
  ScratchDir scratch;
  DerivedScenario bypass("ready-mac", {{"programs", {{"brew", {{"options", {{"fail_temurin", "bypass-sudo"}}}}}}}});
  const MacRun run = drive(bypass.path(), {"cask", "temurin", adoptium.baseURL()}, {.keep = scratch.sub("mac")});
  EXPECT_TRUE(contains(run.out, "output: sudo: a terminal is required to read the password")) << run.out;
  EXPECT_TRUE(contains(run.out,
                       "output: Homebrew bypassed our sudo wrapper. Falling back to direct .pkg install…\n"
                       "output: Looking up Temurin 25 (aarch64) on Adoptium…\n"))
      << run.out;
  EXPECT_TRUE(contains(run.out, "output: Verifying download checksum…\n")) << run.out;
  EXPECT_TRUE(run.out.ends_with("output: Installer completed.\ncompleted: 0\n")) << run.out;
  const auto jdk = scratch.sub("mac") / "Library/Java/JavaVirtualMachines/temurin-25.jdk";
  EXPECT_TRUE(std::filesystem::exists(jdk / "Contents/Home/bin/java"));
  EXPECT_FALSE(
      std::filesystem::exists(scratch.sub("mac") / "Users/alice/Library/Caches/BenchkitPython/temurin-25-aarch64.pkg"));
}

TEST_F(PrivilegedInstalls, APackageWhoseChecksumDiffersIsReportedAndRemoved) {
  AdoptiumStandIn adoptium;
  adoptium.checksum = std::string(64, 'a');
  ScratchDir scratch;
  const MacRun run = drive("ready-mac", {"temurin", "25", adoptium.baseURL()}, {.keep = scratch.sub("mac")});
  const std::string cached = "/Users/alice/Library/Caches/BenchkitPython/temurin-25-aarch64.pkg";
  EXPECT_TRUE(
      contains(run.out, "fetching\nverifying\nerror: Checksum mismatch (expected " + std::string(64, 'a') + ", got "))
      << run.out;
  EXPECT_TRUE(contains(run.out, ") (pkg: " + cached + ")\n")) << run.out;
  EXPECT_FALSE(contains(run.out, "leftover:")) << run.out;
  EXPECT_FALSE(std::filesystem::exists(scratch.sub("mac") / cached.substr(1)));
  EXPECT_FALSE(std::filesystem::exists(scratch.sub("mac") / "Library/Java/JavaVirtualMachines/temurin-25.jdk"));
}

}  // namespace
}  // namespace bnch::systest
