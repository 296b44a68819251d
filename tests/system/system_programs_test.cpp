// The fake system programs answer as macOS's own do, in the scenarios' states.
#include <gtest/gtest.h>

#include <regex>

#include "harness/simulated_mac.h"

namespace bnch::systest {
namespace {

class SystemPrograms : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  }
};

TEST_F(SystemPrograms, ProcessorProbesTellAppleSiliconFromIntel) {
  const MacRun arm =
      runInMac("fresh-mac", {"/bin/sh", "-c", "/usr/sbin/sysctl -in hw.optional.arm64; /usr/bin/uname -m"});
  EXPECT_EQ(arm.out, "1\narm64\n");

  DerivedScenario intel("fresh-mac", {{"machine", {{"arch", "x86_64"}}}});
  const MacRun quiet = runInMac(intel.path(), {"/usr/sbin/sysctl", "-in", "hw.optional.arm64"});
  EXPECT_EQ(quiet.exitCode, 0);
  EXPECT_EQ(quiet.out, "");
  const MacRun loud = runInMac(intel.path(), {"/usr/sbin/sysctl", "hw.optional.arm64"});
  EXPECT_EQ(loud.exitCode, 1);
  EXPECT_EQ(loud.err, "sysctl: unknown oid 'hw.optional.arm64'\n");
  EXPECT_EQ(runInMac(intel.path(), {"/usr/bin/uname", "-m"}).out, "x86_64\n");
}

TEST_F(SystemPrograms, MacOSVersionComesFromTheScenario) {
  const MacRun run = runInMac("old-macos", {"/bin/sh", "-c",
                                            "sw_vers -productVersion; grep -A1 '>ProductVersion<' "
                                            "/System/Library/CoreServices/SystemVersion.plist | tail -1"});
  EXPECT_EQ(run.out, "13.7.1\n\t<string>13.7.1</string>\n");
}

TEST_F(SystemPrograms, XcodeSelectAnswersOnlyWhenTheToolsAreInstalled) {
  const MacRun fresh = runInMac("fresh-mac", {"/usr/bin/xcode-select", "-p"});
  EXPECT_EQ(fresh.exitCode, 2);
  EXPECT_EQ(fresh.out, "");
  EXPECT_EQ(fresh.err.rfind("xcode-select: error: unable to get active developer directory", 0), 0u) << fresh.err;

  const MacRun ready = runInMac("ready-mac", {"/usr/bin/xcode-select", "-p"});
  EXPECT_EQ(ready.exitCode, 0);
  EXPECT_EQ(ready.out, "/Library/Developer/CommandLineTools\n");
}

TEST_F(SystemPrograms, DseditgroupKnowsWhoIsAnAdministrator) {
  const MacRun admin = runInMac("fresh-mac", {"/usr/sbin/dseditgroup", "-o", "checkmember", "-m", "alice", "admin"});
  EXPECT_EQ(admin.exitCode, 0);
  EXPECT_EQ(admin.out, "yes alice is a member of admin\n");
  const MacRun standard =
      runInMac("standard-user", {"/usr/sbin/dseditgroup", "-o", "checkmember", "-m", "sam", "admin"});
  EXPECT_NE(standard.exitCode, 0);
  EXPECT_EQ(standard.out, "no sam is NOT a member of admin\n");
}

TEST_F(SystemPrograms, JavaHomeListsJdksOnStandardErrorInTheRealFormat) {
  const MacRun none = runInMac("fresh-mac", {"/usr/libexec/java_home", "-V"});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_EQ(none.err, "Unable to locate a Java Runtime.\n");

  DerivedScenario withJdk(
      "fresh-mac", {{"tools",
                     {{"jdks",
                       {{{"folder", "temurin-17.jdk"}, {"version", "17.0.9"}, {"vendor", "Eclipse Adoptium"}},
                        {{"folder", "temurin-21.jdk"}, {"version", "21.0.5"}, {"vendor", "Eclipse Adoptium"}}}}}}});
  const MacRun two = runInMac(withJdk.path(), {"/usr/libexec/java_home", "-V"});
  ASSERT_EQ(two.exitCode, 0) << two.err;
  EXPECT_EQ(two.out, "/Library/Java/JavaVirtualMachines/temurin-21.jdk/Contents/Home\n");
  // The line format callers parse: version (arch) "vendor" - "name" path.
  const std::regex line(R"re(^\s+(\S+)\s+\(([^)]+)\)\s+"([^"]*)"\s+-\s+"[^"]*"\s+(/.+)$)re");
  std::istringstream lines(two.err);
  std::string first, l;
  std::getline(lines, first);
  EXPECT_EQ(first, "Matching Java Virtual Machines (2):");
  std::vector<std::string> versions;
  while (std::getline(lines, l)) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(l, m, line)) << l;
    EXPECT_EQ(m[2], "arm64");
    EXPECT_EQ(m[3], "Eclipse Adoptium");
    versions.push_back(m[1]);
  }
  EXPECT_EQ(versions, (std::vector<std::string>{"21.0.5", "17.0.9"}));
}

TEST_F(SystemPrograms, SoftwareUpdateOffersTheToolsOnlyWhileTheMarkerExists) {
  const std::string marker = "/tmp/.com.apple.dt.CommandLineTools.installondemand.in-progress";
  const MacRun run = runInMac(
      "fresh-mac", {"/bin/sh", "-c",
                    "softwareupdate -l 2>/dev/null | grep -c Label:; touch " + marker +
                        "; softwareupdate -l 2>/dev/null; rm " + marker + "; softwareupdate -l 2>&1 | tail -1"});
  EXPECT_EQ(run.out,
            "0\n"
            "Software Update found the following new or updated software:\n"
            "* Label: Command Line Tools for Xcode-16.1\n"
            "\tTitle: Command Line Tools for Xcode, Version: 16.1, Size: 751782KiB, Recommended: YES, \n"
            "No new software available.\n");
}

TEST_F(SystemPrograms, InstallingTheCommandLineToolsNeedsRootAndMakesClang) {
  // The product's own sequence: marker, listing, then softwareupdate -i through sudo -A.
  const std::string script =
      "touch /tmp/.com.apple.dt.CommandLineTools.installondemand.in-progress\n"
      "label=$(softwareupdate -l 2>/dev/null | sed -n 's/^\\* Label: //p')\n"
      "softwareupdate -i \"$label\" >/dev/null 2>&1 && echo 'installed without root'\n"
      "printf '#!/bin/sh\\necho \"$PW\"\\n' > /tmp/askpass && chmod 700 /tmp/askpass\n"
      "SUDO_ASKPASS=/tmp/askpass sudo -A /bin/bash -c \"/usr/sbin/softwareupdate -i '$label' --verbose\" | tail -1\n"
      "test -x /Library/Developer/CommandLineTools/usr/bin/clang && echo clang\n"
      "test -x /Library/Developer/CommandLineTools/usr/bin/git && echo git\n"
      "xcode-select -p\n"
      "touch /Library/Developer/x 2>/dev/null || echo 'Library closed to the user'\n";
  const MacRun run = runInMac("fresh-mac", {"/bin/bash", "-c", script}, {.env = {{"PW", "correct horse"}}});
  EXPECT_EQ(run.out, "Done.\nclang\ngit\n/Library/Developer/CommandLineTools\nLibrary closed to the user\n") << run.err;
}

}  // namespace
}  // namespace bnch::systest
