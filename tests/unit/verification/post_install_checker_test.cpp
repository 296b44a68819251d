#include "engine/verification/post_install_checker.h"
#include "engine/verification/command_text.h"

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

class PostInstallCheckerTest : public ::testing::Test {
 protected:
  void answerWhich(const std::string& name, ScriptedReply reply) {
    runner->answerShell("/usr/bin/which -a '" + name + "'", std::move(reply));
  }

  TempDir dir;
  RootedFileSystem fs{dir.path()};
  std::shared_ptr<ScriptedProcessRunner> runner = std::make_shared<ScriptedProcessRunner>();
  PostInstallChecker checker{ShellRunner(runner), fs};
};

TEST_F(PostInstallCheckerTest, AppBundlesAreLookedForInBothApplicationsFolders) {
  const PostInstallCheck chatgpt = PostInstallCheck::appBundle({"ChatGPT.app", "Codex.app"});
  EXPECT_EQ(checker.check(chatgpt),
            "the install reported success but ChatGPT.app or Codex.app is not in /Applications or ~/Applications");

  fs.makeDirectory("/Users/alice/Applications/Codex.app");
  EXPECT_EQ(checker.check(chatgpt), std::nullopt);
  fs.makeDirectory("/Applications/Zed.app");
  EXPECT_EQ(checker.check(PostInstallCheck::appBundle({"Zed.app"})), std::nullopt);
}

TEST_F(PostInstallCheckerTest, ExecutablesExpandHomeButTheSentenceShowsThePathsAsWritten) {
  const PostInstallCheck uv =
      PostInstallCheck::executable({"/opt/homebrew/bin/uv", "/usr/local/bin/uv", "~/.local/bin/uv"});
  fs.writeFile("/opt/homebrew/bin/uv", "not executable", 0644);
  EXPECT_EQ(checker.check(uv),
            "the install reported success but there is no executable at /opt/homebrew/bin/uv or /usr/local/bin/uv or "
            "~/.local/bin/uv");

  fs.makeExecutable("/Users/alice/.local/bin/uv");
  EXPECT_EQ(checker.check(uv), std::nullopt);
}

TEST_F(PostInstallCheckerTest, DirectoryPrefixesTolerateAMissingParent) {
  const PostInstallCheck temurin = PostInstallCheck::directoryPrefixed("/Library/Java/JavaVirtualMachines", "temurin-");
  const std::string missing =
      "the install reported success but no temurin-* directory exists in /Library/Java/JavaVirtualMachines";
  EXPECT_EQ(checker.check(temurin), missing);

  fs.makeDirectory("/Library/Java/JavaVirtualMachines/zulu-17.jdk");
  EXPECT_EQ(checker.check(temurin), missing);
  fs.makeDirectory("/Library/Java/JavaVirtualMachines/temurin-21.jdk");
  EXPECT_EQ(checker.check(temurin), std::nullopt);
}

TEST_F(PostInstallCheckerTest, CommandsResolveThroughWhichInANewTerminal) {
  const std::string missing = "the install reported success but `gh` does not resolve on the login shell's PATH";
  const PostInstallCheck gh = PostInstallCheck::commandNamed("gh");
  EXPECT_EQ(checker.check(gh), missing);  // the shell cannot start

  answerWhich("gh", ScriptedReply::prints("gh not found\n", 1));
  EXPECT_EQ(checker.check(gh), missing);

  // Start-up files may print first; only an absolute path of an existing file counts.
  answerWhich("gh", ScriptedReply::prints("Welcome!\ngh: aliased to /opt/homebrew/bin/gh\n  /opt/homebrew/bin/gh\n"));
  EXPECT_EQ(checker.check(gh), missing);
  fs.makeExecutable("/opt/homebrew/bin/gh");
  EXPECT_EQ(checker.check(gh), std::nullopt);
  EXPECT_TRUE(runner->unanswered().size() == 1u);  // only the first, unscripted call
  ProcessRequest which = ShellRunner::request("/usr/bin/which -a 'gh'", ShellForm::newTerminal);
  which.timeLimit = verificationCommandTimeLimit;
  EXPECT_EQ(runner->requests().back(), which);
}

TEST_F(PostInstallCheckerTest, AShellThatDoesNotAnswerInTimeIsNeverAPass) {
  answerWhich("gh", ScriptedReply::hangs());
  EXPECT_EQ(checker.check(PostInstallCheck::commandNamed("gh")),
            "the install reported success but whether `gh` resolves on the login shell's PATH is undetermined: the "
            "shell didn't answer in time");
}

TEST_F(PostInstallCheckerTest, NoCheckAlwaysPasses) {
  EXPECT_EQ(checker.check(PostInstallCheck::none()), std::nullopt);
  EXPECT_TRUE(runner->requests().empty());
}

}  // namespace
}  // namespace bnch
