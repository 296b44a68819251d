#include "engine/platform/shell_runner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "engine/platform/live_process_runner.h"
#include "engine/platform/text.h"
#include "tests/support/scripted_process_runner.h"

namespace bnch {
namespace {

using ::testing::ElementsAre;
using testing::ScriptedProcessRunner;
using testing::ScriptedReply;

TEST(ShellRunner, RunsTheCommandBehindTheMarkerInALoginShell) {
  auto fake = std::make_shared<ScriptedProcessRunner>();
  fake->setShellPreamble("Welcome! (from ~/.zprofile)\nnvm: using node 20\n");
  fake->answerShell("brew --prefix", ScriptedReply::prints("/opt/homebrew\n"));
  ShellRunner shell(fake);

  EXPECT_EQ(shell.run("brew --prefix"), (ShellOutput{"/opt/homebrew\n", 0}));
  ASSERT_EQ(fake->requests().size(), 1u);
  EXPECT_EQ(fake->requests()[0], (ProcessRequest{.executable = "/bin/zsh",
                                                 .arguments = {"-lc", "echo __BNCH_CMD_OUTPUT__; brew --prefix"}}));
}

TEST(ShellRunner, ShellThatCannotStartGivesEmptyOutputAndMinusOne) {
  auto fake = std::make_shared<ScriptedProcessRunner>();
  fake->answerShell("uv --version", ScriptedReply::failsToStart());
  EXPECT_EQ(ShellRunner(fake).run("uv --version"), (ShellOutput{"", -1}));
}

TEST(ShellRunner, TextAfterMarkerStartsAfterTheFirstLineBreakFollowingIt) {
  const std::string m(ShellRunner::outputMarker);
  struct Case {
    std::string output;
    std::string expected;
  };
  const Case cases[] = {
      {"noise\n" + m + "\nanswer\n", "answer\n"},
      {"no marker at all\n", "no marker at all\n"},
      {"noise " + m + " same line\nanswer", "answer"},  // rest of the marker line is dropped
      {m, ""},                                          // nothing follows
      {m + "   ", ""},                                  // no line break follows
      {m + "\r\nanswer", "answer"},                     // CRLF is one break
      {m + "\rx", "x"},
      {m + "\vx", "x"},
      {m + "\fx", "x"},
      {m + "\xC2\x85x", "x"},                                // U+0085
      {m + "\xE2\x80\xA8x", "x"},                            // U+2028
      {m + "\xE2\x80\xA9x", "x"},                            // U+2029
      {m + "\n" + m + "\nsecond", m + "\nsecond"},           // only the first marker counts
      {"__BNCH_cmd_OUTPUT__\nx", "__BNCH_cmd_OUTPUT__\nx"},  // case-sensitive
  };
  for (const auto& c : cases) EXPECT_EQ(ShellRunner::textAfterMarker(c.output), c.expected) << c.output;
}

TEST(ShellRunner, ANewTerminalAnswersOnlyBetweenItsMarkers) {
  const std::string m(ShellRunner::outputMarker);
  const std::string e(ShellRunner::endMarker);
  struct Case {
    std::string output;
    std::optional<ShellOutput> expected;
  };
  const Case cases[] = {
      {"noise\n" + m + "\n/usr/bin/python3\n" + e + "0\nbye from zlogout\n", ShellOutput{"/usr/bin/python3\n", 0}},
      {m + "\nno newline" + e + "127\n", ShellOutput{"no newline", 127}},
      {m + "\n" + e + "1", ShellOutput{"", 1}},
      {m + "\n" + e + "0\n" + e + "5\n", ShellOutput{e + "0\n", 5}},  // the last end marker counts
      {"/opt/homebrew/bin/brew\n", std::nullopt},                     // an exec'd program printed this
      {m + "\n/usr/bin/python3\n", std::nullopt},                     // stopped before the end
      {m + "\nx\n" + e + "\n", std::nullopt},                         // no status
  };
  for (const auto& c : cases) EXPECT_EQ(ShellRunner::answerIn(c.output), c.expected) << c.output;
}

TEST(ShellRunner, OneBuilderServesBothFormsAndItsCommandLineReadsBack) {
  for (const std::string command : {"/usr/bin/which -a brew", "echo 'a # b' # comment", ""}) {
    const ProcessRequest login = ShellRunner::request(command, ShellForm::login);
    const ProcessRequest terminal = ShellRunner::request(command, ShellForm::newTerminal);
    EXPECT_EQ(login.arguments.at(0), "-lc");
    EXPECT_FALSE(login.newSession);
    EXPECT_EQ(terminal.arguments.at(0), "-ilc");
    EXPECT_TRUE(terminal.newSession);
    EXPECT_EQ(ShellRunner::commandLineOf(login), command);
    EXPECT_EQ(ShellRunner::commandLineOf(terminal), command);
    // Neither marker is spelt out in the script, so an echo of it never looks like an answer.
    EXPECT_EQ(terminal.arguments.at(1).find(ShellRunner::outputMarker), std::string::npos);
    EXPECT_EQ(terminal.arguments.at(1).find(ShellRunner::endMarker), std::string::npos);
  }
  EXPECT_EQ(ShellRunner::commandLineOf(ProcessRequest{.executable = "/bin/zsh", .arguments = {"-ilc", "true"}}),
            std::nullopt);
  EXPECT_EQ(ShellRunner::commandLineOf(ProcessRequest{.executable = "/bin/sh", .arguments = {"-lc", "true"}}),
            std::nullopt);
}

TEST(ShellRunner, StreamMapsLinesAndExitAndNamesAProgramThatCannotStart) {
  auto fake = std::make_shared<ScriptedProcessRunner>();
  fake->answerShell("brew install uv", ScriptedReply::streams({"==> Downloading", "==> Pouring"}, 1));
  fake->answer("/opt/homebrew/bin/brew", {"update"}, ScriptedReply::failsToStart("No such file or directory"));
  ShellRunner shell(fake);

  EXPECT_THAT(shell.stream("/bin/zsh", {"-lc", "brew install uv"}).collect(),
              ElementsAre(StreamEvent::output("==> Downloading"), StreamEvent::output("==> Pouring"),
                          StreamEvent::completed(1)));
  EXPECT_THAT(shell.stream("/opt/homebrew/bin/brew", {"update"}).collect(),
              ElementsAre(StreamEvent::output("Failed to start /opt/homebrew/bin/brew: No such file or directory"),
                          StreamEvent::completed(-1)));
}

TEST(ShellRunner, DroppingTheStreamTerminatesTheProcess) {
  auto fake = std::make_shared<ScriptedProcessRunner>();
  fake->answerShell("softwareupdate -i -a", ScriptedReply::hangs({"Finding available software"}));
  {
    auto stream = ShellRunner(fake).stream("/bin/zsh", {"-lc", "softwareupdate -i -a"});
    EXPECT_EQ(stream.next(), StreamEvent::output("Finding available software"));
  }
  ASSERT_EQ(fake->calls().size(), 1u);
  EXPECT_TRUE(fake->calls()[0].terminated);
}

// The real login shell, with start-up files that talk.
class ShellRunnerWithZsh : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::access("/bin/zsh", X_OK) != 0) GTEST_SKIP() << "no /bin/zsh";
    home_ = std::filesystem::temp_directory_path() / ("bnch-shell-home-" + std::to_string(::getpid()));
    std::filesystem::create_directories(home_);
    write(".zshenv", "echo 'from zshenv'\n");
    write(".zprofile", "echo 'Welcome back!'\nprintf 'no newline from zprofile'\nexport BNCH_FROM_PROFILE=yes\n");
    write(".zlogin", "echo 'from zlogin' >&2\n");
    savedHome_ = get("HOME");
    savedZdotdir_ = get("ZDOTDIR");
    ::setenv("HOME", home_.c_str(), 1);
    ::unsetenv("ZDOTDIR");
  }
  void TearDown() override {
    restore("HOME", savedHome_);
    restore("ZDOTDIR", savedZdotdir_);
    if (!home_.empty()) std::filesystem::remove_all(home_);
  }

  void write(const std::string& name, const std::string& text) { std::ofstream(home_ / name) << text; }
  static std::optional<std::string> get(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  }
  static void restore(const char* name, const std::optional<std::string>& value) {
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }

  std::filesystem::path home_;
  std::optional<std::string> savedHome_;
  std::optional<std::string> savedZdotdir_;
};

TEST_F(ShellRunnerWithZsh, RunReturnsOnlyWhatTheCommandPrinted) {
  ShellRunner shell(std::make_shared<LiveProcessRunner>());
  EXPECT_EQ(shell.run("echo \"$BNCH_FROM_PROFILE\"; echo second"), (ShellOutput{"yes\nsecond\n", 0}));
  EXPECT_EQ(shell.run("exit 5"), (ShellOutput{"", 5}));
  EXPECT_EQ(shell.run("echo to-stderr >&2"), (ShellOutput{"", 0}));
}

// What interactive start-up files do without a terminal never turns into a wrong
// answer: the answer is the command's, or none at all.
TEST_F(ShellRunnerWithZsh, ANewTerminalReadsZshrcAndSurvivesHostileOnes) {
  write(".zlogout", "echo 'bye from zlogout'\n");
  const std::string reachable = "export BNCH_FROM_ZSHRC=yes\n";
  struct Case {
    const char* what;
    std::string zshrc;
    std::optional<ShellOutput> expected;
  };
  const std::optional<ShellOutput> answer = ShellOutput{"yes yes\n", 0};
  const Case cases[] = {
      {"prints, themes and asks",
       reachable + "echo hi; print -n $'\\e]0;title\\a\\e[1;32m'; echo warn >&2\n"
                   "read -r reply; read -q 'x?Update? '\nPROMPT=$'%{\\e[36m%}%# '\n",
       answer},
      {"syntax error after the set-up", reachable + "if [[ -n $TERM ]] then; echo fi (\n", answer},
      {"traces and echoes itself", "set -xv\n" + reachable, answer},
      {"exits on the first error", "setopt err_exit nounset\n" + reachable, answer},
      {"execs another program",
       "echo " + std::string(ShellRunner::outputMarker) + "\nexec /bin/sh -c 'echo hijacked'\n", std::nullopt},
      {"waits for ever", "sleep 30\n" + reachable, std::nullopt},
  };
  ShellRunner shell(std::make_shared<LiveProcessRunner>(), std::chrono::milliseconds(3000));
  for (const auto& c : cases) {
    write(".zshrc", c.zshrc);
    EXPECT_EQ(shell.ask("echo \"$BNCH_FROM_PROFILE\" \"$BNCH_FROM_ZSHRC\"; false"),
              c.expected ? std::optional<ShellOutput>(ShellOutput{c.expected->output, 1}) : std::nullopt)
        << c.what;
  }
  write(".zshrc", "");
  EXPECT_EQ(shell.ask("echo out; echo err >&2; exit 3 # a comment"), (ShellOutput{"out\n", 3}));
}

// Job control of a terminal we run in cannot stop the new Terminal window's
// shell: it leads a session of its own, without a terminal.
TEST_F(ShellRunnerWithZsh, ANewTerminalLeadsItsOwnSessionWithoutATerminal) {
  write(".zshrc", "");
  const auto answer = ShellRunner(std::make_shared<LiveProcessRunner>()).ask("ps -o sid= -p $$; echo $$; tty");
  ASSERT_TRUE(answer);
  const std::vector<std::string> lines = nonEmptyLines(answer->output);
  ASSERT_EQ(lines.size(), 3u) << answer->output;
  EXPECT_EQ(trimmedText(lines[0]), lines[1]);
  EXPECT_EQ(lines[2], "not a tty");
}

TEST_F(ShellRunnerWithZsh, StreamShowsStartUpOutputAndTheCommandsLines) {
  ShellRunner shell(std::make_shared<LiveProcessRunner>());
  EXPECT_THAT(shell.stream("/bin/zsh", {"-lc", "echo one; echo two >&2; exit 2"}).collect(),
              ElementsAre(StreamEvent::output("from zshenv"), StreamEvent::output("Welcome back!"),
                          StreamEvent::output("no newline from zprofilefrom zlogin"), StreamEvent::output("one"),
                          StreamEvent::output("two"), StreamEvent::completed(2)));
}

}  // namespace
}  // namespace bnch
