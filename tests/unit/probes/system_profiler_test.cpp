// Given a Mac's files and programs' answers, the profile says this.
#include <gtest/gtest.h>

#include <memory>

#include "engine/probes/system_profiler.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/scripted_process_runner.h"
#include "tests/support/temp_dir.h"

namespace bnch {
namespace {

using testing::RootedFileSystem;
using testing::ScriptedProcessRunner;
using testing::ScriptedReply;
using testing::TempDir;

class SystemProfilerTest : public ::testing::Test {
 protected:
  SystemProfilerTest() {
    // Programs nobody scripted cannot start (the runner's fallback).
    process_->answer("/usr/sbin/sysctl", {"-in", "hw.optional.arm64"}, ScriptedReply::prints("1\n"));
  }
  SystemProfile profile(ProfilerEnvironment environment = {"/bin/zsh", "alice"},
                        std::chrono::milliseconds limit = ProbeProcess::defaultTimeLimit) {
    return SystemProfiler(ShellRunner(process_), fs_, std::move(environment), limit).profile();
  }
  std::shared_ptr<ScriptedProcessRunner> process_ = std::make_shared<ScriptedProcessRunner>();
  TempDir dir_;
  RootedFileSystem fs_{dir_.path()};
};

TEST_F(SystemProfilerTest, NothingAnswersGivesTheEmptyProfile) {
  process_->answer("/usr/sbin/sysctl", {"-in", "hw.optional.arm64"}, ScriptedReply::failsToStart());
  const SystemProfile result = profile(ProfilerEnvironment{std::nullopt, std::nullopt});
  SystemProfile empty;
  empty.shell = Shell::other("unknown");
  empty.isAdministrator = true;  // no user name: no verdict, counts as administrator
  EXPECT_EQ(result, empty);
}

TEST_F(SystemProfilerTest, AppleSiliconMacWithToolsAppsAndJava) {
  fs_.writeFile("/System/Library/CoreServices/SystemVersion.plist",
                "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>ProductName</key><string>macOS</string>"
                "<key>ProductVersion</key><string>15.1</string></dict></plist>");
  fs_.makeExecutable("/usr/local/bin/brew");
  fs_.makeExecutable("/opt/homebrew/bin/brew");
  fs_.makeExecutable("/opt/homebrew/bin/claude");
  fs_.makeExecutable("/Users/alice/.claude/local/claude");
  fs_.makeExecutable("/Users/alice/.local/bin/mise");
  fs_.writeFile("/Users/alice/.sdkman/bin/sdkman-init.sh", "");
  fs_.makeDirectory("/Users/alice/.asdf");
  fs_.writeFile("/Users/alice/.jenv", "not a folder");
  fs_.makeDirectory("/Applications/IntelliJ IDEA CE.app");
  fs_.makeDirectory("/Users/alice/Applications/Cursor.app");
  fs_.makeDirectory("/Applications/kitty.app");
  fs_.makeDirectory("/Applications/Obsidian.app");
  fs_.writeFile("/Applications/Zed.app", "a file, not an app");
  fs_.makeDirectory("/Library/Java/JavaVirtualMachines/temurin-21.jdk");

  process_->answer("/usr/bin/xcode-select", {"-p"}, ScriptedReply::prints("/Library/Developer/CommandLineTools\n"));
  process_->answer("/usr/sbin/dseditgroup", {"-o", "checkmember", "-m", "alice", "admin"},
                   ScriptedReply::prints("no alice is NOT a member of admin\n"));
  process_->answerShell("/usr/bin/which claude", ScriptedReply::exits(1));
  process_->answerShell("/usr/bin/which java", ScriptedReply::prints("/usr/bin/java\n"));
  process_->answer(
      "/usr/libexec/java_home", {"-V"},
      ScriptedReply::exits(0)
          .withStdout("/Library/Java/JavaVirtualMachines/temurin-21.jdk/Contents/Home\n")
          .withStderr("Matching Java Virtual Machines (1):\n    21.0.2 (arm64) \"Eclipse Adoptium\" - "
                      "\"OpenJDK 21.0.2\" /Library/Java/JavaVirtualMachines/temurin-21.jdk/Contents/Home\n"));
  process_->setShellPreamble("Welcome back!\n/opt/homebrew/bin/claude-in-a-banner\n");
  process_->answerShell("/usr/bin/which -a claude",
                        ScriptedReply::prints("/opt/homebrew/bin/claude\n  /Users/alice/.claude/local/claude\t\n"));
  process_->answerShell("echo __BNCH_JAVA_HOME__:$JAVA_HOME",
                        ScriptedReply::prints("__BNCH_JAVA_HOME__:/Library/Java/JavaVirtualMachines/temurin-21.jdk/"
                                              "Contents/Home\n"));

  const SystemProfile result = profile();
  EXPECT_EQ(result.architecture, Architecture::appleSilicon);
  EXPECT_EQ(result.macosVersion, (OperatingSystemVersion{15, 1, 0}));
  EXPECT_EQ(result.shell, Shell::zsh());
  EXPECT_EQ(result.homebrewPrefix, "/opt/homebrew/bin/brew");
  EXPECT_EQ(result.sdkmanRoot, "/Users/alice/.sdkman");
  EXPECT_EQ(result.miseExecutable, "/Users/alice/.local/bin/mise");
  EXPECT_EQ(result.jenvRoot, std::nullopt);
  EXPECT_EQ(result.asdfRoot, "/Users/alice/.asdf");
  EXPECT_EQ(result.xcodeCommandLineToolsPath, "/Library/Developer/CommandLineTools");
  EXPECT_FALSE(result.isAdministrator);

  EXPECT_TRUE(result.aiTooling.intellij);
  EXPECT_TRUE(result.aiTooling.cursor);
  EXPECT_FALSE(result.aiTooling.zed);
  EXPECT_TRUE(result.aiTooling.claudeCodeCLI);  // which failed, the Homebrew file counts
  EXPECT_FALSE(result.aiTooling.codexCLI);
  EXPECT_EQ(result.aiTooling.claudeCliLocations,
            (std::vector<std::string>{"/Users/alice/.claude/local/claude", "/opt/homebrew/bin/claude"}));
  EXPECT_TRUE(result.aiTooling.codexCliLocations.empty());
  EXPECT_EQ(result.terminals, (Terminals{.kitty = true}));
  EXPECT_EQ(result.markdownEditors, (MarkdownEditors{.obsidian = true}));

  EXPECT_EQ(result.javaState.whichJava, "/usr/bin/java");
  EXPECT_EQ(result.javaState.jvmDirContents, std::vector<std::string>{"temurin-21.jdk"});
  ASSERT_EQ(result.javaState.installedJDKs.size(), 1u);
  EXPECT_EQ(result.javaState.installedJDKs[0].vendor, "Eclipse Adoptium");
  EXPECT_EQ(result.javaState.javaHomeInActiveShell, "/Library/Java/JavaVirtualMachines/temurin-21.jdk/Contents/Home");
  EXPECT_EQ(process_->count("/usr/bin/uname", {"-m"}), 0u);
}

TEST_F(SystemProfilerTest, ArchitectureFallsBackToUname) {
  process_->answer("/usr/sbin/sysctl", {"-in", "hw.optional.arm64"}, ScriptedReply::prints(""));
  process_->answer("/usr/bin/uname", {"-m"}, ScriptedReply::prints("x86_64\n"));
  const ShellRunner shell(process_);
  EXPECT_EQ(SystemProfiler(shell, fs_, {}).architecture(), Architecture::intel);
  process_->answer("/usr/bin/uname", {"-m"}, ScriptedReply::prints("arm64\n"));
  EXPECT_EQ(SystemProfiler(shell, fs_, {}).architecture(), Architecture::appleSilicon);
  process_->answer("/usr/bin/uname", {"-m"}, ScriptedReply::prints("i386\n"));
  EXPECT_EQ(SystemProfiler(shell, fs_, {}).architecture(), Architecture::unknown);
}

TEST_F(SystemProfilerTest, MiseFoundThroughWhichOnlyWhenExecutable) {
  const ShellRunner shell(process_);
  fs_.makeExecutable("/Users/alice/tools/mise");
  process_->answerShell("/usr/bin/which mise", ScriptedReply::prints("/Users/alice/tools/mise\n"));
  EXPECT_EQ(SystemProfiler(shell, fs_, {}).miseExecutable(), "/Users/alice/tools/mise");
  process_->answerShell("/usr/bin/which mise", ScriptedReply::prints("/Users/alice/missing/mise\n"));
  EXPECT_EQ(SystemProfiler(shell, fs_, {}).miseExecutable(), std::nullopt);
}

TEST_F(SystemProfilerTest, AnswersThatAreNotUtf8CountAsNoAnswer) {
  fs_.makeExecutable("/opt/homebrew/bin/claude");
  fs_.makeExecutable("/opt/homebrew/bin/cl\xffude");
  process_->answer("/usr/bin/xcode-select", {"-p"}, ScriptedReply::prints("/Library/Developer/\xff\xfeTools\n"));
  process_->answer("/usr/sbin/dseditgroup", {"-o", "checkmember", "-m", "alice", "admin"},
                   ScriptedReply::prints("no \xff\n"));
  process_->answerShell("/usr/bin/which java", ScriptedReply::prints("/usr/bin/j\xc3"
                                                                     "ava\n"));
  process_->answerShell("/usr/bin/which codex", ScriptedReply::prints("\xef\xbf\xbd\n"));
  process_->answerShell("/usr/bin/which -a claude", ScriptedReply::prints("/opt/homebrew/bin/cl\xffude\n"));
  process_->answerShell("echo __BNCH_JAVA_HOME__:$JAVA_HOME", ScriptedReply::prints("__BNCH_JAVA_HOME__:/jdk\xff\n"));

  const SystemProfile result = profile();
  EXPECT_EQ(result.xcodeCommandLineToolsPath, std::nullopt);
  EXPECT_TRUE(result.isAdministrator);  // no verdict, not a "no"
  EXPECT_EQ(result.javaState.whichJava, std::nullopt);
  EXPECT_EQ(result.javaState.javaHomeInActiveShell, std::nullopt);
  EXPECT_FALSE(result.aiTooling.codexCLI);  // which said nothing readable and no file is there
  // Only the readable candidate is listed.
  EXPECT_EQ(result.aiTooling.claudeCliLocations, std::vector<std::string>{"/opt/homebrew/bin/claude"});
}

TEST_F(SystemProfilerTest, AUserNameWithSpacesIsOneArgument) {
  process_->answer("/usr/sbin/dseditgroup", {"-o", "checkmember", "-m", "Alice Smith", "admin"},
                   ScriptedReply::prints("no Alice Smith is NOT a member of admin\n"));
  EXPECT_FALSE(profile({"/bin/zsh", "Alice Smith"}).isAdministrator);
}

TEST_F(SystemProfilerTest, HangingProgramsCountAsNotAnswering) {
  fs_.makeExecutable("/opt/homebrew/bin/brew");
  for (const char* program : {"/usr/bin/xcode-select", "/usr/sbin/dseditgroup", "/usr/libexec/java_home",
                              "/usr/bin/which", "/usr/sbin/sysctl", "/usr/bin/uname"}) {
    process_->answerWhen([program](const ProcessRequest& request) { return request.executable == program; },
                         ScriptedReply::hangs({"partial"}));
  }
  process_->answerShellWhen([](const std::string&) { return true; }, ScriptedReply::hangs({"noise"}));

  const SystemProfile result = profile({"/bin/zsh", "alice"}, std::chrono::milliseconds(100));
  EXPECT_EQ(result.architecture, Architecture::unknown);
  EXPECT_EQ(result.homebrewPrefix, "/opt/homebrew/bin/brew");
  EXPECT_EQ(result.xcodeCommandLineToolsPath, std::nullopt);
  EXPECT_TRUE(result.isAdministrator);
  EXPECT_EQ(result.javaState, ProbeBundle{});
  EXPECT_TRUE(result.aiTooling.claudeCliLocations.empty());
  // Every hung child got the terminate request.
  for (const auto& call : process_->calls()) EXPECT_TRUE(call.terminated) << call.request.executable;
}

}  // namespace
}  // namespace bnch
