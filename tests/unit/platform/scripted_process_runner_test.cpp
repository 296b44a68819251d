#include "tests/support/scripted_process_runner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "engine/platform/shell_runner.h"

namespace bnch::testing {
namespace {

using ::testing::ElementsAre;

TEST(ScriptedProcessRunner, AnswersByExactRequestWithTheLatestRuleWinning) {
  ScriptedProcessRunner runner;
  runner.answer("/usr/bin/uname", {"-m"}, ScriptedReply::prints("x86_64\n"));
  runner.answer("/usr/bin/uname", {"-m"}, ScriptedReply::prints("arm64\n"));
  runner.answerInOrder("/usr/bin/xcode-select", {"-p"},
                       {ScriptedReply::exits(2).withStderr("no developer tools"), ScriptedReply::prints("/Library\n")});

  EXPECT_EQ(runner.run({.executable = "/usr/bin/uname", .arguments = {"-m"}}), (ProcessResult{0, "arm64\n", ""}));
  const ProcessRequest select{.executable = "/usr/bin/xcode-select", .arguments = {"-p"}};
  EXPECT_EQ(runner.run(select), (ProcessResult{2, "", "no developer tools"}));
  EXPECT_EQ(runner.run(select).stdOut, "/Library\n");
  EXPECT_EQ(runner.run(select).stdOut, "/Library\n");  // the last reply repeats

  // Anything else fails to start, and is listed so a test can tell.
  EXPECT_THROW(runner.run({.executable = "/usr/bin/uname", .arguments = {"-a"}}), ProcessLaunchError);
  EXPECT_THAT(runner.unanswered(), ElementsAre(ProcessRequest{.executable = "/usr/bin/uname", .arguments = {"-a"}}));
  EXPECT_EQ(runner.count("/usr/bin/xcode-select", {"-p"}), 3u);
}

TEST(ScriptedProcessRunner, LoginShellCommandsBehaveLikeTheRealShellForTheShellRunner) {
  auto runner = std::make_shared<ScriptedProcessRunner>();
  runner->setShellPreamble("Last login: today\n");
  runner->answerShell("python3 --version", ScriptedReply::prints("Python 3.13.1\n"));
  runner->answerShellWhen([](const std::string& command) { return command.starts_with("uv python find"); },
                          ScriptedReply::prints("/Users/ada/.local/share/uv/python/cpython-3.13/bin/python3\n"));
  ShellRunner shell(runner);

  EXPECT_EQ(shell.run("python3 --version"), (ShellOutput{"Python 3.13.1\n", 0}));
  EXPECT_EQ(shell.run("uv python find 3.13").output, "/Users/ada/.local/share/uv/python/cpython-3.13/bin/python3\n");
  // Without the marker (streaming), the preamble reaches the consumer, as in real life.
  EXPECT_THAT(shell.stream("/bin/zsh", {"-lc", "python3 --version"}).collect(),
              ElementsAre(StreamEvent::output("Last login: today"), StreamEvent::output("Python 3.13.1"),
                          StreamEvent::completed(0)));
  EXPECT_THAT(runner->shellCommands(), ElementsAre("python3 --version", "uv python find 3.13", "python3 --version"));
  EXPECT_EQ(runner->shellCount("python3 --version"), 2u);
}

TEST(ScriptedProcessRunner, StreamsPacedLinesAndHangsUntilCanceled) {
  ScriptedProcessRunner runner;
  runner.answer(
      "/opt/homebrew/bin/brew", {"install", "uv"},
      ScriptedReply::streamsSlowly(
          {{"==> Fetching uv", std::chrono::milliseconds(5)}, {"==> Pouring uv", std::chrono::milliseconds(5)}}, 0)
          .withStderr("ignored: lines were given"));
  runner.answer("/usr/sbin/softwareupdate", {"-i", "-a"}, ScriptedReply::hangs({"Finding available software"}));

  EXPECT_THAT(
      runner.stream({.executable = "/opt/homebrew/bin/brew", .arguments = {"install", "uv"}}, nullptr).collect(),
      ElementsAre(ProcessStreamEvent::line("==> Fetching uv"), ProcessStreamEvent::line("==> Pouring uv"),
                  ProcessStreamEvent::exited(0)));

  auto cancellation = std::make_shared<LiveProcessCancellation>();
  auto stream = runner.stream({.executable = "/usr/sbin/softwareupdate", .arguments = {"-i", "-a"}}, cancellation);
  EXPECT_EQ(stream.next(), ProcessStreamEvent::line("Finding available software"));
  EXPECT_FALSE(runner.calls()[1].terminated);
  std::thread([cancellation] { cancellation->cancel(); }).join();
  EXPECT_THAT(stream.collect(), ElementsAre(ProcessStreamEvent::exited(143)));
  EXPECT_TRUE(runner.calls()[1].terminated);
}

TEST(ScriptedProcessRunner, HandlersAndSideEffectsSeeTheRequest) {
  ScriptedProcessRunner runner;
  std::vector<std::string> installed;
  runner.answerWith([](const ProcessRequest& request) { return request.executable == "/usr/bin/env"; },
                    [](const ProcessRequest& request) {
                      const auto& environment = request.environment.value_or(Environment{});
                      return ScriptedReply::prints(environment.count("NONINTERACTIVE") ? "unattended" : "asks");
                    });
  runner.answerShell("brew install gh",
                     ScriptedReply::exits(0).then([&](const ProcessRequest&) { installed.push_back("gh"); }));

  EXPECT_EQ(runner.run({.executable = "/usr/bin/env", .environment = Environment{{"NONINTERACTIVE", "1"}}}).stdOut,
            "unattended");
  EXPECT_EQ(runner.run({.executable = "/usr/bin/env"}).stdOut, "asks");
  EXPECT_EQ(runner.stream({.executable = "/bin/zsh", .arguments = {"-lc", "brew install gh"}}, nullptr).collect(),
            std::vector{ProcessStreamEvent::exited(0)});
  EXPECT_THAT(installed, ElementsAre("gh"));
}

}  // namespace
}  // namespace bnch::testing
