// The sandbox itself: what a program sees, exit codes, kept disks, and a host left untouched.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "harness/simulated_mac.h"

namespace bnch::systest {
namespace {
namespace fs = std::filesystem;

class Sandbox : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  }
};

TEST_F(Sandbox, AppsSeeAFinderLaunchEnvironment) {
  const MacRun run = runInMac("fresh-mac", {"/usr/bin/env"});
  for (const char* line : {"HOME=/Users/alice\n", "USER=alice\n", "SHELL=/bin/zsh\n",
                           "PATH=/usr/bin:/bin:/usr/sbin:/sbin\n", "BNCH_TELEMETRY_DISABLED=1\n"})
    EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
  EXPECT_EQ(run.out.find("MACSIM_"), std::string::npos) << "fake internals leak into the environment";

  const MacRun on = runInMac("fresh-mac", {"/bin/sh", "-c", "echo ${BNCH_TELEMETRY_DISABLED-unset}"},
                             {.env = {{"BNCH_TELEMETRY_DISABLED", ""}}});
  EXPECT_EQ(on.out, "unset\n");
}

TEST_F(Sandbox, ExitStatusPassesThrough) {
  EXPECT_EQ(runInMac("fresh-mac", {"/bin/sh", "-c", "exit 42"}).exitCode, 42);
  EXPECT_EQ(runInMac("fresh-mac", {"/bin/sh", "-c", "kill -TERM $$"}).exitCode, 143);
  EXPECT_EQ(runInMac("fresh-mac", {"/no/such/program"}).exitCode, 127);
}

TEST_F(Sandbox, TheBuildTreeIsVisibleButReadOnly) {
  const std::string doctor = doctorPath().string();
  const MacRun run = runInMac(
      "fresh-mac",
      {"/bin/sh", "-c", "test -x " + doctor + " && echo visible; touch " + doctor + " 2>/dev/null || echo read-only"});
  EXPECT_EQ(run.out, "visible\nread-only\n");
}

TEST_F(Sandbox, KeepLeavesTheSimulatedDiskForInspection) {
  ScratchDir scratch;
  const fs::path disk = scratch.sub("disk");
  const MacRun run = runInMac("fresh-mac", {"/bin/sh", "-c", "echo hi > ~/note.txt"}, {.keep = disk});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(fs::exists(disk / "Users/alice/note.txt"));
  EXPECT_TRUE(fs::exists(disk / "System/Library/CoreServices/SystemVersion.plist"));
}

TEST_F(Sandbox, ScenarioFoldersAreRemovedAfterARun) {
  ScratchDir tmp;
  const MacRun run = runInMac("ready-mac", {"/usr/bin/true"}, {.env = {}});
  ASSERT_EQ(run.exitCode, 0);
  // A run with its own MACSIM_TMPDIR leaves that folder empty again.
  ::setenv("MACSIM_TMPDIR", tmp.path().c_str(), 1);
  const MacRun again = runInMac("ready-mac", {"/bin/sh", "-c", "touch ~/x /tmp/y"});
  ::unsetenv("MACSIM_TMPDIR");
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_TRUE(fs::is_empty(tmp.path()));
}

struct Snapshot {
  std::vector<std::string> lines;
  bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot() {
  Snapshot s;
  for (const char* p : {"/",
                        "/opt",
                        "/usr",
                        "/usr/local",
                        "/usr/local/bin",
                        "/usr/bin",
                        "/usr/sbin",
                        "/usr/libexec",
                        "/etc",
                        "/Users",
                        "/Library",
                        "/Applications",
                        "/System",
                        "/.host",
                        "/.macsim",
                        "/private",
                        "/opt/homebrew",
                        "/usr/bin/xcode-select",
                        "/usr/bin/uname",
                        "/usr/sbin/sysctl",
                        "/usr/bin/sudo",
                        "/usr/bin/osascript",
                        "/usr/libexec/java_home",
                        "/usr/bin/curl"}) {
    struct stat st {};
    if (::lstat(p, &st) != 0) {
      s.lines.push_back(std::string(p) + " absent");
      continue;
    }
    s.lines.push_back(std::string(p) + " " + std::to_string(st.st_ino) + " " + std::to_string(st.st_mode) + " " +
                      std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
                      std::to_string(st.st_mtim.tv_nsec) + " " + std::to_string(st.st_ctim.tv_sec) + "." +
                      std::to_string(st.st_ctim.tv_nsec));
  }
  return s;
}

TEST_F(Sandbox, AScenarioThatWritesEverywhereLeavesTheHostUntouched) {
  const Snapshot before = snapshot();
  // As the user, then as root through sudo: every simulated location, and a few host ones.
  const std::string writes =
      "for d in ~ /Applications /Library /opt /usr/local /usr/local/bin /tmp /System /usr/bin /etc / /.host/usr; do "
      "touch $d/macsim-probe 2>/dev/null && echo \"user wrote $d\"; done\n"
      "printf '#!/bin/sh\\necho \"correct horse\"\\n' > /tmp/ask && chmod 700 /tmp/ask\n"
      "SUDO_ASKPASS=/tmp/ask sudo -A /bin/sh -c 'for d in /Library /opt /usr/local /System /usr/bin /etc / /.host/usr; "
      "do "
      "mkdir -p $d/macsim-root-probe 2>/dev/null && echo \"root wrote $d\"; done; mkdir -p /opt/homebrew/bin "
      "/usr/local/bin'\n";
  const MacRun run = runInMac("fresh-mac", {"/bin/bash", "-c", writes});
  EXPECT_EQ(run.out,
            "user wrote /Users/alice\nuser wrote /Applications\nuser wrote /tmp\n"
            "root wrote /Library\nroot wrote /opt\nroot wrote /usr/local\n")
      << run.err;
  EXPECT_EQ(snapshot(), before);
  for (const char* p : {"/opt/homebrew", "/Library/macsim-root-probe", "/usr/local/macsim-root-probe",
                        "/Applications/macsim-probe", "/Users/alice"})
    EXPECT_FALSE(fs::exists(p)) << p;
}

}  // namespace
}  // namespace bnch::systest

namespace bnch::systest {
namespace {

TEST_F(Sandbox, ScenarioFilesAndProgramBehaviours) {
  const std::string data = std::string(BNCH_TEST_DATA_DIR) + "/softwareupdate-list-two-clt-labels.txt";
  DerivedScenario s(
      "fresh-mac",
      {{"files",
        {{{"path", "~/.zprofile"}, {"lines", {"export GREETING=hello"}}, {"mode", "0600"}, {"mtime", 1700000000}},
         {{"path", "~/Documents/notes.txt"}, {"from", data}},
         {{"path", "~/bin"}, {"dir", true}},
         {{"path", "~/python-link"}, {"symlink", "/usr/bin/python3"}}}},
       {"programs",
        {{"softwareupdate", {{"answers", {{{"args", {"-l"}}, {"stdout_file", data}, {"exit", 0}}}}}},
         {"xcode-select", {{"answers", {{{"args", {"-p"}}, {"stderr", "broken\n"}, {"exit", 3}}}}}},
         {"sw_vers", {{"script", "echo \"sw_vers called with $#: $*\"; exit 4"}}},
         {"curl", {{"absent", true}}}}}});
  const MacRun run = runInMac(
      s.path(), {"/bin/bash", "-c",
                 "stat -c '%a %Y' ~/.zprofile; cmp -s ~/Documents/notes.txt <(softwareupdate -l) && echo same; "
                 "test -d ~/bin && readlink ~/python-link; xcode-select -p; echo \"xcode-select $?\"; "
                 "xcode-select -v; sw_vers -productVersion; echo \"sw_vers $?\"; "
                 "test -e /usr/bin/curl || echo 'no curl'; /bin/zsh -lc 'echo $GREETING'"});
  EXPECT_EQ(run.out,
            "600 1700000000\nsame\n/usr/bin/python3\nxcode-select 3\nxcode-select version 2409.\n"
            "sw_vers called with 1: -productVersion\nsw_vers 4\nno curl\nhello\n");
  EXPECT_EQ(run.err, "broken\n");
}

TEST_F(Sandbox, AScenarioCannotWriteOutsideItsFolder) {
  DerivedScenario throughLink(
      "fresh-mac",
      {{"files", {{{"path", "~/etc"}, {"symlink", "/etc"}}, {{"path", "~/etc/macsim-escape"}, {"content", "x"}}}}});
  EXPECT_EQ(runInMac(throughLink.path(), {"/usr/bin/true"}).exitCode, 125);
  EXPECT_FALSE(fs::exists("/etc/macsim-escape"));

  DerivedScenario replaceTop("fresh-mac", {{"files", {{{"path", "/Library"}, {"symlink", "/"}}}}});
  EXPECT_EQ(runInMac(replaceTop.path(), {"/usr/bin/true"}).exitCode, 125);

  DerivedScenario outside("fresh-mac", {{"files", {{{"path", "/etc/macsim-escape"}, {"content", "x"}}}}});
  const MacRun run = runInMac(outside.path(), {"/usr/bin/true"});
  EXPECT_EQ(run.exitCode, 125);
  EXPECT_EQ(run.err, "macsim: path outside the simulated Mac: /etc/macsim-escape\n");
}

}  // namespace
}  // namespace bnch::systest
