#include "engine/verification/outcome_audit.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/support/rooted_file_system.h"
#include "tests/support/scripted_process_runner.h"
#include "tests/support/temp_dir.h"

namespace bnch {
namespace {

using testing::RootedFileSystem;
using testing::ScriptedProcessRunner;
using testing::ScriptedReply;
using testing::TempDir;

const std::string kPythonProbe =
    "uv run --no-project --managed-python --no-python-downloads python -c "
    "'import sys; print(sys.version.split()[0]); print(sys.executable)' 2>&1";

class OutcomeAuditTest : public ::testing::Test {
 protected:
  OutcomeAuditTest() {
    // Nothing installed: every command is missing.
    runner->setFallback(ScriptedReply::prints("zsh:1: command not found\n", 127));
  }

  std::vector<OutcomeAuditSection> audit(const std::optional<SystemProfile>& profile = std::nullopt) {
    return runOutcomeAudit(ShellRunner(runner), fs, profile);
  }

  void configureShellFiles() {
    fs.writeFile("/Users/alice/.zprofile", "# Benchkit \u2014 PATH\ntypeset -U path PATH\n");
    fs.writeFile("/Users/alice/.zshrc", "[ -f \"$HOME/.env\" ] && source \"$HOME/.env\"\n");
    fs.writeFile("/Users/alice/.env", "");
  }

  TempDir dir;
  RootedFileSystem fs{dir.path()};
  std::shared_ptr<ScriptedProcessRunner> runner = std::make_shared<ScriptedProcessRunner>();
};

TEST_F(OutcomeAuditTest, AnEmptyMacHasNoSections) {
  EXPECT_TRUE(audit().empty());
  EXPECT_TRUE(audit(SystemProfile{}).empty());
}

TEST_F(OutcomeAuditTest, AWellEquippedMacFillsEverySectionInOrder) {
  runner->answerShell("xcode-select -p 2>&1", ScriptedReply::prints("/Library/Developer/CommandLineTools\n"));
  runner->answerShell("git --version 2>&1", ScriptedReply::prints("git version 2.39.5 (Apple Git-154)\n"));
  runner->answerShell("brew --version 2>&1", ScriptedReply::prints("Homebrew 4.4.11\n"));
  runner->answerShell("mise --version 2>&1", ScriptedReply::prints("2024.12.14 macos-arm64\n"));
  runner->answerShell("uv --version 2>&1", ScriptedReply::prints("uv 0.5.11\n"));
  runner->answerShell(
      kPythonProbe, ScriptedReply::prints("3.13.1\n/Users/alice/.local/share/uv/python/cpython-3.13.1/bin/python3\n"));
  runner->answerShell("mise which node 2>/dev/null", ScriptedReply::prints("/Users/alice/.local/share/mise/node\n"));
  runner->answerShell("mise which cargo 2>/dev/null", ScriptedReply::prints("/Users/alice/.cargo/bin/cargo\n"));
  runner->answerShell("/usr/libexec/java_home 2>/dev/null", ScriptedReply::prints("/Library/Java/temurin-21\n"));
  configureShellFiles();

  SystemProfile profile;
  profile.terminals.warp = true;
  profile.aiTooling.vsCode = true;
  profile.markdownEditors.obsidian = true;
  profile.aiTooling.claudeCodeDesktop = true;
  profile.aiTooling.codexCLI = true;

  EXPECT_EQ(audit(profile),
            (std::vector<OutcomeAuditSection>{
                {"Foundation",
                 {"Command Line Tools installed", "git version 2.39.5 (Apple Git-154)",
                  "Homebrew installed \u2014 version 4.4.11", "Shell configuration in place",
                  "mise installed for language version management"}},
                {"Terminal and editors", {"Warp installed", "VS Code installed", "Obsidian installed"}},
                {"AI agents",
                 {"Claude Desktop installed (paid subscription required for Claude Code)", "Codex CLI installed"}},
                {"Languages",
                 {"Python 3.13.1 installed (with uv)", "JavaScript installed (with mise via Node)",
                  "Rust installed (with mise via rustup)", "Java installed"}},
            }));
}

TEST_F(OutcomeAuditTest, GitIsOnlyAskedAboutAfterTheCommandLineTools) {
  runner->answerShell("git --version 2>&1", ScriptedReply::prints("git version 2.39.5\n"));
  EXPECT_TRUE(audit().empty());
  EXPECT_EQ(runner->shellCount("git --version 2>&1"), 0u);
}

TEST_F(OutcomeAuditTest, OddHomebrewAndPythonAnswersGiveThePlainItems) {
  runner->answerShell("brew --version 2>&1", ScriptedReply::prints("brew 4.4.11\n"));
  runner->answerShell("uv --version 2>&1", ScriptedReply::prints("uv 0.5.11\n"));
  runner->answerShell(kPythonProbe, ScriptedReply::prints("3.9.6\n/usr/bin/python3\n"));
  // A command that exits 0 without output does not count.
  runner->answerShell("/usr/libexec/java_home 2>/dev/null", ScriptedReply::prints("\n"));
  EXPECT_EQ(audit(), (std::vector<OutcomeAuditSection>{
                         {"Foundation", {"Homebrew installed"}},
                         {"Languages", {"uv installed (no uv-managed Python found)"}},
                     }));
}

TEST_F(OutcomeAuditTest, HalfConfiguredShellFilesAreNotInPlace) {
  configureShellFiles();
  fs.removeItem("/Users/alice/.env");
  EXPECT_TRUE(audit().empty());
}

}  // namespace
}  // namespace bnch
