// Given a Mac, the Python prober's bundle says this.
#include <gtest/gtest.h>

#include <memory>

#include "engine/probes/foundation_prober.h"
#include "engine/probes/python_ownership.h"
#include "engine/probes/python_prober.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/scripted_process_runner.h"
#include "tests/support/temp_dir.h"

namespace bnch {
namespace {

using testing::RootedFileSystem;
using testing::ScriptedProcessRunner;
using testing::ScriptedReply;
using testing::TempDir;

const std::string gitIdentityCommand =
    "git config --global --get user.name >/dev/null && git config --global --get user.email >/dev/null";

class ProberTest : public ::testing::Test {
 protected:
  ProberTest() { process_->setShellPreamble("zprofile says hi\n/opt/homebrew/bin/brew is not a line to trust\n"); }
  SetupProbeBundle foundation() { return FoundationProber().probe(ShellRunner(process_), fs_); }
  std::shared_ptr<ScriptedProcessRunner> process_ = std::make_shared<ScriptedProcessRunner>();
  TempDir dir_;
  RootedFileSystem fs_{dir_.path()};
};

TEST_F(ProberTest, FreshMacWithoutHomebrew) {
  process_->answerShell("/usr/bin/which -a brew", ScriptedReply::prints("brew not found\n", 1));
  process_->answerShell("brew --version 2>&1", ScriptedReply::prints("zsh:1: command not found: brew\n", 127));
  process_->answerShell("command -v gh", ScriptedReply::exits(1));
  process_->answerShell("gh auth status", ScriptedReply::exits(127));

  const SetupProbeBundle bundle = foundation();
  EXPECT_TRUE(bundle.pathVisiblePrimaryTools.empty());
  EXPECT_TRUE(bundle.installedPrimaryToolLocations.empty());
  EXPECT_EQ(bundle.versionOutput, "zsh:1: command not found: brew");  // the preamble is before the marker
  EXPECT_EQ(bundle.versionExitCode, 127);
  EXPECT_FALSE(bundle.ghPresent);
  EXPECT_FALSE(bundle.ghAuthed);
  EXPECT_FALSE(bundle.gitIdentitySet);
  EXPECT_EQ(process_->shellCount(gitIdentityCommand), 0u);  // no git without CLT, Xcode or Homebrew git
  EXPECT_FALSE(bundle.shellConfigured);
  EXPECT_FALSE(bundle.agentDocNeeded);
  EXPECT_FALSE(bundle.projectExists);
}

TEST_F(ProberTest, ReadyMacWithSignedOutGhAndShellThatCannotStart) {
  fs_.makeExecutable("/opt/homebrew/bin/brew");
  fs_.makeExecutable("/usr/local/bin/brew");
  fs_.makeExecutable("/opt/homebrew/bin/gh");
  fs_.makeDirectory("/Library/Developer/CommandLineTools");
  fs_.makeDirectory("/Users/alice/Documents/AI-Simple-Project");
  fs_.writeFile("/Users/alice/.zprofile", "# typeset -U path PATH\ntypeset -U path PATH\n");
  fs_.writeFile("/Users/alice/.zshrc", "source \"$HOME/.env\"\n");
  fs_.writeFile("/Users/alice/.env", "");
  process_->answerShell("/usr/bin/which -a brew",
                        ScriptedReply::prints("/opt/homebrew/bin/brew\n\t/usr/local/bin/brew \nbrew\n/gone/brew\n"));
  process_->answerShell("brew --version 2>&1", ScriptedReply::prints("\nHomebrew 4.4.11\n\n"));
  process_->answerShell(gitIdentityCommand, ScriptedReply::exits(0));
  process_->answerShell("gh auth status", ScriptedReply::exits(1));

  const SetupProbeBundle bundle = foundation();
  EXPECT_EQ(bundle.pathVisiblePrimaryTools,
            (std::vector<std::string>{"/opt/homebrew/bin/brew", "/usr/local/bin/brew"}));
  EXPECT_EQ(bundle.installedPrimaryToolLocations, bundle.pathVisiblePrimaryTools);
  EXPECT_EQ(bundle.versionOutput, "Homebrew 4.4.11");
  EXPECT_EQ(bundle.versionExitCode, 0);
  EXPECT_TRUE(bundle.ghPresent);
  EXPECT_FALSE(bundle.ghAuthed);
  EXPECT_TRUE(bundle.gitIdentitySet);
  EXPECT_TRUE(bundle.shellConfigured);
  EXPECT_TRUE(bundle.projectExists);
  EXPECT_EQ(process_->shellCount("command -v gh"), 0u);  // the Homebrew gh answered first

  process_->answerShellWhen([](const std::string&) { return true; }, ScriptedReply::failsToStart());
  const SetupProbeBundle noShell = foundation();
  EXPECT_TRUE(noShell.pathVisiblePrimaryTools.empty());
  EXPECT_EQ(noShell.versionOutput, std::nullopt);
  EXPECT_EQ(noShell.versionExitCode, -1);
  EXPECT_FALSE(noShell.gitIdentitySet);
}

TEST_F(ProberTest, AgentNoteNeededUntilTheDetectedAgentsHaveIt) {
  EXPECT_FALSE(FoundationProber::agentDocNeeded(fs_));
  fs_.makeDirectory("/Applications/ChatGPT.app");
  EXPECT_TRUE(FoundationProber::agentDocNeeded(fs_));
  fs_.writeFile("/Users/alice/.codex/AGENTS.md", "# Benchkit \u2014 development environment\n");
  EXPECT_FALSE(FoundationProber::agentDocNeeded(fs_));
  fs_.makeDirectory("/Users/alice/.claude");
  fs_.writeFile("/Users/alice/.claude/CLAUDE.md", "\xff not UTF-8 \xfe");  // unreadable counts as empty
  EXPECT_TRUE(FoundationProber::agentDocNeeded(fs_));
  fs_.writeFile("/Users/alice/.claude/CLAUDE.md", "intro\n## Benchkit \u2014 development environment\n");
  EXPECT_FALSE(FoundationProber::agentDocNeeded(fs_));
}

TEST_F(ProberTest, PythonProberAddsInventoryAndWhatTheCommandsRun) {
  fs_.makeExecutable("/usr/bin/python3");
  fs_.makeDirectory("/Users/alice/.pyenv/versions/3.10.14");
  fs_.makeDirectory("/Users/alice/.pyenv/versions/3.11.9");
  fs_.makeExecutable("/Users/alice/.pyenv/shims/python3");
  const auto resolves = [](const std::string& command) {
    return [command](const std::string& line) {
      return line.find("/usr/bin/which " + command + ")") != std::string::npos;
    };
  };
  // A shim is no link, so the version is asked of the interpreter it leads to.
  process_->answerShellWhen(resolves("python3"), ScriptedReply::prints("/Users/alice/.pyenv/shims/python3\n"
                                                                       "/Users/alice/.pyenv/shims/python3\n"));
  process_->answerShellWhen(
      [](const std::string& line) { return line.starts_with("'/Users/alice/.pyenv/shims/python3' -c "); },
      ScriptedReply::prints("3.11.9\n"));
  process_->answerShellWhen(resolves("python"), ScriptedReply::prints("/Users/alice/.pyenv/shims/python\n"
                                                                      "/Users/alice/.pyenv/shims/python\n"));

  const SetupProbeBundle bundle = PythonProber().probe(ShellRunner(process_), fs_);
  ASSERT_TRUE(bundle.pythonInventory && bundle.pythonPathVerdict);
  EXPECT_EQ(bundle.pythonInventory->installs.size(), 3u);
  const PythonCommandResolution& python3 = bundle.pythonPathVerdict->python3;
  EXPECT_EQ(python3.resolvedPath, "/Users/alice/.pyenv/shims/python3");
  EXPECT_EQ(python3.version, "3.11.9");
  EXPECT_EQ(PythonOwnership::owner(python3, *bundle.pythonInventory),
            (PythonInstall{PythonInstall::Origin::competing("pyenv"), "/Users/alice/.pyenv/versions/3.11.9/bin/python",
                           "3.11.9"}));
  EXPECT_EQ(bundle.pythonPathVerdict->python.resolvedPath, std::nullopt);  // not a file on disk
}

}  // namespace
}  // namespace bnch
