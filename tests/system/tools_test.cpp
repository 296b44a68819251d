// Homebrew and uv, as the product drives them, change the simulated disk so that fresh login
// shells see the result.
#include <gtest/gtest.h>

#include "harness/simulated_mac.h"

namespace bnch::systest {
namespace {

// The uv-managed Python probe and the project steps, exactly as the verifier runs them.
const std::string kProbe =
    "uv run --no-project --managed-python --no-python-downloads python -c 'import sys; "
    "print(sys.version.split()[0]); print(sys.executable)' 2>&1";

class Tools : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  }
};

TEST_F(Tools, BrewInstallUvMakesUvResolveInAFreshLoginShell) {
  const MacRun before = loginShell("brew-not-on-path", "command -v brew || echo none");
  EXPECT_EQ(before.out, "none\n");

  DerivedScenario withShellenv(
      "brew-not-on-path",
      {{"files", {{{"path", "~/.zprofile"}, {"content", "eval \"$(/opt/homebrew/bin/brew shellenv)\"\n"}}}}});
  const MacRun run = runInMac(withShellenv.path(),
                              {"/bin/bash", "-c",
                               "/bin/zsh -lc 'command -v uv' || echo 'no uv yet'\n"
                               "HOMEBREW_NO_AUTO_UPDATE=1 /opt/homebrew/bin/brew install uv >/dev/null || exit 9\n"
                               "/bin/zsh -lc 'command -v uv; uv --version'"});
  EXPECT_EQ(run.out, "no uv yet\n/opt/homebrew/bin/uv\nuv 0.5.11 (Homebrew 2024-12-19)\n") << run.err;
}

TEST_F(Tools, UvPythonInstallDefaultPutsPython3InLocalBin) {
  DerivedScenario uvOnly(
      "brew-not-on-path",
      {{"tools", {{"homebrew", {{"formulae", {"uv"}}}}}},
       {"files",
        {{{"path", "~/.zprofile"},
          {"lines", {"eval \"$(/opt/homebrew/bin/brew shellenv)\"", "export PATH=\"$HOME/.local/bin:$PATH\""}}}}}});
  const MacRun run = runInMac(uvOnly.path(), {"/bin/bash", "-c",
                                              "/bin/zsh -lc 'command -v python3'\n"
                                              "/bin/zsh -lc 'uv python install --default' 2>/dev/null || exit 9\n"
                                              "/bin/zsh -lc 'command -v python3; python3 --version'\n"
                                              "/bin/zsh -lc \"" +
                                                  kProbe + "\""});
  EXPECT_EQ(run.out,
            "/usr/bin/python3\n"
            "/Users/alice/.local/bin/python3\nPython 3.13.1\n"
            "3.13.1\n/Users/alice/.local/share/uv/python/cpython-3.13.1-macos-aarch64-none/bin/python3\n")
      << run.err;
}

TEST_F(Tools, TheVerifiersProjectStepsWorkOnAReadyMac) {
  const MacRun run =
      loginShell("ready-mac", "uv --version 2>&1 && " + kProbe +
                                  " && mkdir -p /tmp/probe && cd /tmp/probe && uv init --no-workspace --vcs none "
                                  "2>&1 && uv add cowsay==6.1 2>&1 && uv run python -c 'import cowsay' 2>&1 && "
                                  "echo IMPORTED");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_EQ(run.out.rfind("uv 0.5.11 (Homebrew 2024-12-19)\n3.13.1\n", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("Initialized project `probe`"), std::string::npos);
  EXPECT_NE(run.out.find(" + cowsay==6.1"), std::string::npos);
  EXPECT_EQ(run.out.substr(run.out.size() - 9), "IMPORTED\n");
}

TEST_F(Tools, OfflineUvAddFailsWithUvsNetworkError) {
  const MacRun run = loginShell("offline",
                                "mkdir -p /tmp/p && cd /tmp/p && uv init --no-workspace --vcs none >/dev/null 2>&1 && "
                                "uv add cowsay==6.1 2>&1");
  EXPECT_NE(run.exitCode, 0);
  EXPECT_NE(run.out.find("error: Failed to fetch: `https://pypi.org/simple/cowsay/`"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("dns error"), std::string::npos);
}

TEST_F(Tools, ASystemPythonIsNotUvManaged) {
  const MacRun run = loginShell("pyenv-owns-python", "command -v python3; python3 --version");
  EXPECT_EQ(run.out, "/Users/alice/.pyenv/shims/python3\nPython 3.11.9\n");
}

TEST_F(Tools, CaskFailuresTheInstallerRecoversFrom) {
  // An app that was dragged in by hand blocks the cask until --force.
  DerivedScenario existing("ready-mac", {{"tools", {{"apps", {"Zed.app"}}}}});
  const MacRun blocked =
      runInMac(existing.path(), {"/bin/bash", "-c",
                                 "brew=/opt/homebrew/bin/brew\n"
                                 "$brew install --cask zed 2>&1; echo \"exit $?\"\n"
                                 "$brew install --cask --force zed >/dev/null 2>&1; echo \"exit $?\""});
  EXPECT_NE(blocked.out.find("Error: It seems there is already an App at '/Applications/Zed.app'."), std::string::npos);
  EXPECT_EQ(blocked.out.substr(blocked.out.size() - 14), "exit 1\nexit 0\n") << blocked.out;

  // A download that fails once, then works.
  DerivedScenario flaky("ready-mac", {{"programs", {{"brew", {{"options", {{"fail_zed", "network-once"}}}}}}}});
  const MacRun retried = runInMac(flaky.path(), {"/bin/bash", "-c",
                                                 "/opt/homebrew/bin/brew install --cask zed >/dev/null 2>&1; echo $?\n"
                                                 "/opt/homebrew/bin/brew install --cask zed >/dev/null 2>&1; echo $?\n"
                                                 "ls /Applications"});
  EXPECT_EQ(retried.out, "1\n0\nWarp.app\nZed.app\n");

  // "Already installed" while the app is gone; reinstall brings it back.
  DerivedScenario stale("ready-mac", {{"programs", {{"brew", {{"options", {{"fail_zed", "stale"}}}}}}}});
  const MacRun again = runInMac(stale.path(), {"/bin/bash", "-c",
                                               "/opt/homebrew/bin/brew install --cask zed 2>&1 | tr A-Z a-z\n"
                                               "test -d /Applications/Zed.app || echo missing\n"
                                               "/opt/homebrew/bin/brew reinstall --cask zed >/dev/null 2>&1\n"
                                               "test -d /Applications/Zed.app && echo back"});
  EXPECT_EQ(again.out, "warning: not upgrading zed, the latest version is already installed\nmissing\nback\n");
}

TEST_F(Tools, AJdkCaskInstallsThroughSudoAndTheInstaller) {
  const MacRun run = runInMac(
      "ready-mac", {"/bin/bash", "-c",
                    "printf '#!/bin/sh\\necho \"correct horse\"\\n' > /tmp/ask && chmod 700 /tmp/ask\n"
                    "SUDO_ASKPASS=/tmp/ask /opt/homebrew/bin/brew install --cask temurin@17 >/dev/null 2>&1 || exit 9\n"
                    "/usr/libexec/java_home 2>&1; grep JAVA_VERSION "
                    "/Library/Java/JavaVirtualMachines/temurin-17.jdk/Contents/Home/release"});
  EXPECT_EQ(run.out, "/Library/Java/JavaVirtualMachines/temurin-17.jdk/Contents/Home\nJAVA_VERSION=\"17.0.13\"\n")
      << run.err;
}

TEST_F(Tools, BrewUpdateRefreshesTheIndexAndFailsOffline) {
  const std::string script =
      "f=~/Library/Caches/Homebrew/api/formula.jws.json; before=$(stat -c %Y $f)\n"
      "/opt/homebrew/bin/brew update >/dev/null 2>&1; echo \"exit $?\"\n"
      "[ $(stat -c %Y $f) -gt $before ] && echo fresher";
  EXPECT_EQ(runInMac("ready-mac", {"/bin/bash", "-c", script}).out, "exit 0\nfresher\n");
  EXPECT_EQ(runInMac("offline", {"/bin/bash", "-c", script}).out, "exit 1\n");
}

TEST_F(Tools, NoisyStartupFilesPrintBeforeTheCommand) {
  const MacRun run = loginShell("noisy-zprofile", "echo __MARK__; command -v uv");
  const auto mark = run.out.find("__MARK__\n");
  ASSERT_NE(mark, std::string::npos);
  EXPECT_NE(run.out.substr(0, mark).find("Last backup: 2 days ago"), std::string::npos);
  EXPECT_EQ(run.out.substr(mark), "__MARK__\n/opt/homebrew/bin/uv\n");
}

}  // namespace
}  // namespace bnch::systest
