// benchkit-doctor apply in the simulated Mac: each remediation where it can succeed,
// the failures the simulated Mac can script, a terminal, and being interrupted.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "harness/simulated_mac.h"

namespace bnch::systest {
namespace {

using Json = nlohmann::json;

class Apply : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  }
};

// Runs a bash script in the scenario. In it, `apply ARGS…` runs benchkit-doctor apply and
// prints "rc=<exit code>"; `leftovers` lists what a step may have left behind: password
// helpers and markers in /tmp, and processes other than the sandbox's own.
MacRun inMac(const std::string& scenario, const std::string& script, const MacRunOptions& options = {}) {
  const std::string prelude = "export doctor=" + doctorPath().string() +
                              "\n"
                              "apply() { \"$doctor\" apply \"$@\"; echo \"rc=$?\"; }\n"
                              "leftovers() { ls -A /tmp; ps -eo pid=,args= | grep -v -e bwrap -e 'ps -eo' -e grep "
                              "-e '^ *[0-9]* /bin/bash -c' || true; }\n";
  return runInMac(scenario, {"/bin/bash", "-c", prelude + script}, options);
}

// Whether the output holds `text`; a terminal's line ends (CR LF) count as plain ones.
bool has(const MacRun& run, const std::string& text) {
  std::string out = run.out;
  std::erase(out, '\r');
  return out.find(text) != std::string::npos;
}

std::string afterMarker(const std::string& text, const std::string& marker) {
  const auto at = text.find(marker);
  return at == std::string::npos ? std::string() : text.substr(at + marker.size());
}

TEST_F(Apply, EachRemediationSucceedsWhereItCanAndChangesTheDiskOnce) {
  const Json mine = {{"path", "~/.zprofile"}, {"lines", {"export EDITOR=vim"}}};
  DerivedScenario fresh("fresh-mac", {{"files", {mine}}});
  DerivedScenario withTools("fresh-mac", {{"tools", {{"command_line_tools", true}}}, {"files", {mine}}});
  DerivedScenario brewOnPath(
      "brew-not-on-path",
      {{"files", {{{"path", "~/.zprofile"}, {"lines", {"eval \"$(/opt/homebrew/bin/brew shellenv)\""}}}}}});
  struct Case {
    std::string scenario;
    std::string script;                 // applies and checks
    std::vector<std::string> expected;  // in the output, in any order
  };
  const std::vector<Case> cases = {
      {fresh.path(),
       "apply clt --yes; ls /Library/Developer/CommandLineTools/usr/bin; xcode-select -p",
       {"Found: Command Line Tools for Xcode-16.1", "Command Line Tools installed.", "rc=0\nclang",
        "/Library/Developer/CommandLineTools\n"}},
      {fresh.path(),
       "apply shell-config --yes; apply shell-config --yes; grep -c 'typeset -U path PATH' ~/.zprofile; "
       "cat ~/.zprofile.bak; test -f ~/.env && echo env-made",
       {"rc=0\n", "\n1\nexport EDITOR=vim\nenv-made"}},
      {withTools.path(),
       "apply homebrew --yes; test -x /opt/homebrew/bin/brew && echo brew-made; "
       "grep -c '^eval \"$(/opt/homebrew/bin/brew shellenv)\"' ~/.zprofile; cat ~/.zprofile.bak",
       {"==> Installation successful!", "rc=0\nbrew-made\n1\nexport EDITOR=vim\n"}},
      {"brew-not-on-path",
       "apply path-repair:homebrew --yes; apply path-repair:homebrew --yes; grep -c 'brew shellenv)\"$' ~/.zprofile; "
       "zsh -lc 'command -v brew'",
       {"Added Homebrew to your PATH in ~/.zprofile", "Homebrew's shellenv is already active in ~/.zprofile",
        "rc=0\n1\n/opt/homebrew/bin/brew\n"}},
      {brewOnPath.path(),
       "apply brew:uv --yes; zsh -lc 'command -v uv; uv python find'; grep -c '.local/bin' ~/.zprofile; "
       "cat ~/.zprofile.bak",
       {"Updating Homebrew's package list…", "Installing the latest Python with uv…", "Post-install check passed.",
        "rc=0\n/opt/homebrew/bin/uv\n/Users/alice/.local/share/uv/python/cpython-3.13.1",
        "\n1\neval \"$(/opt/homebrew/bin/brew shellenv)\"\n"}},
      {"ready-mac",
       "apply path-repair:claude-local --yes; apply path-repair:claude-local --yes; grep -c '.claude/local' "
       "~/.zprofile",
       {"Added `/Users/alice/.claude/local` to your PATH in ~/.zprofile (backup at /Users/alice/.zprofile.bak).",
        "`/Users/alice/.claude/local` is already on your PATH in ~/.zprofile — nothing to do.", "rc=0\n1\n"}},
      {"ready-mac",
       "apply example:python --yes; echo changed > ~/Documents/Python-Example-Project/main.py; "
       "apply example:python --yes; ls -A ~/Documents/Python-Example-Project; cat "
       "~/Documents/Python-Example-Project/main.py",
       {"Created your project at ~/Documents/Python-Example-Project.",
        "A project already exists at ~/Documents/Python-Example-Project — leaving it as is.",
        "rc=0\n.gitignore\nAGENTS.md\nCLAUDE.md\nREADME.md\nmain.py\npyproject.toml\nchanged\n"}},
      {"ready-mac", "apply env-doc --yes", {"rc=0\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    const MacRun run = inMac(c.scenario, c.script + "\necho leftovers:; leftovers");
    for (const std::string& text : c.expected) EXPECT_TRUE(has(run, text)) << text << "\n---\n" << run.out << run.err;
    EXPECT_EQ(afterMarker(run.out, "leftovers:\n"), "") << run.out;
  }
}

TEST_F(Apply, ThePrimaryPathFromAFreshMacEndsVerified) {
  const MacRun run = inMac("fresh-mac",
                           "for id in clt shell-config homebrew brew:uv; do apply \"$id\" --yes; done\n"
                           "echo verify:; \"$doctor\" verify --json");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  // Each of the four ran to success, in order.
  const std::string applied = run.out.substr(0, run.out.find("verify:"));
  std::size_t successes = 0;
  for (auto at = applied.find("rc="); at != std::string::npos; at = applied.find("rc=", at + 1)) {
    EXPECT_EQ(applied.substr(at, 5), "rc=0\n") << applied;
    ++successes;
  }
  EXPECT_EQ(successes, 4u) << applied;
  EXPECT_LT(applied.find("Command Line Tools installed."), applied.find("==> Installation successful!"));
  const Json verified = Json::parse(afterMarker(run.out, "verify:\n"));
  EXPECT_TRUE(verified.at("passed").get<bool>()) << verified.dump(2);
  EXPECT_EQ(verified.at("verifiedItems").size(), 4u) << verified.dump(2);
}

TEST_F(Apply, FailuresEndWithTheirOwnLinesAndCodesAndLeaveNothingBehind) {
  DerivedScenario wrongPassword("fresh-mac", {{"machine", {{"dialog_answer", "not it"}}}});
  DerivedScenario canceledDialog("fresh-mac", {{"machine", {{"dialog", "cancel"}}}});
  DerivedScenario nothingOffered("fresh-mac",
                                 {{"programs",
                                   {{"softwareupdate",
                                     {{"answers",
                                       {{{"args", {"-l"}},
                                         {"stdout", "Software Update Tool\n\nFinding available software\n"},
                                         {"stderr", "No new software available.\n"}}}}}}}}});
  DerivedScenario offline("fresh-mac", {{"machine", {{"online", false}}}, {"tools", {{"command_line_tools", true}}}});
  DerivedScenario hangingUpdate("brew-not-on-path", {{"programs", {{"brew", {{"options", {{"update", "hang"}}}}}}}});
  const std::string notCompleted =
      "The Command Line Tools install didn’t complete. You can install them yourself: open Terminal and run  "
      "xcode-select --install";
  struct Case {
    std::string scenario;
    std::string id;
    std::vector<std::string> expected;
    std::map<std::string, std::string> env;
  };
  const std::vector<Case> cases = {
      {wrongPassword.path(), "clt", {"sudo: 3 incorrect password attempts", notCompleted, "rc=1"}},
      {canceledDialog.path(), "clt", {"User canceled", notCompleted, "rc=1"}},
      {nothingOffered.path(),
       "clt",
       {"macOS didn’t offer a Command Line Tools package to install. You can install them yourself: open Terminal "
        "and run  xcode-select --install\nApple's software-update listing was:\nSoftware Update Tool\n\nFinding "
        "available software\n\nNo new software available.\nrc=1"}},
      {offline.path(),
       "homebrew",
       {"curl: (6) Could not resolve host",
        "Couldn't install Homebrew: the install script ended without installing "
        "brew.",
        "rc=1"}},
      {hangingUpdate.path(),
       "brew:uv",
       {"Updating Homebrew's package list…\nThis step hasn’t responded in 3s and was stopped. You can try again, or "
        "install it yourself from Terminal.\nrc=255"},
       {{"BNCH_STEP_TIME_LIMIT_SECONDS", "3"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id + " in " + c.scenario);
    const MacRun run = inMac(c.scenario,
                             "apply " + c.id +
                                 " --yes; test -e /Library/Developer/CommandLineTools -o -e /opt/homebrew/bin/uv "
                                 "|| echo unchanged; echo leftovers:; leftovers",
                             {.env = c.env});
    for (const std::string& text : c.expected) EXPECT_TRUE(has(run, text)) << text << "\n---\n" << run.out << run.err;
    if (c.id == "clt") {
      EXPECT_TRUE(has(run, "unchanged")) << run.out;
    }
    EXPECT_EQ(afterMarker(run.out, "leftovers:\n"), "") << run.out;
  }
}

TEST_F(Apply, InterruptingCancelsTheRemediationEndsItsChildrenAndExits130) {
  // The install hangs in softwareupdate, run as root under sudo with the password helper in /tmp.
  DerivedScenario hangingInstall(
      "fresh-mac",
      {{"programs",
        {{"softwareupdate",
          {{"answers", {{{"args", {"-i", "Command Line Tools for Xcode-16.1", "--verbose"}}, {"delay", 600}}}}}}}}});
  for (const std::string signal : {"INT", "TERM"}) {
    SCOPED_TRACE(signal);
    const MacRun run = inMac(hangingInstall.path(),
                             "env --default-signal=INT,TERM \"$doctor\" apply clt --yes & pid=$!\n"
                             "for i in $(seq 300); do ps -eo args= | grep -q '^sleep 600' && break; sleep 0.1; done\n"
                             "kill -" +
                                 signal + " $pid; wait $pid; echo \"rc=$?\"; echo leftovers:; leftovers");
    EXPECT_TRUE(has(run, "Canceled — nothing more was changed.\nrc=130\n")) << run.out << run.err;
    EXPECT_EQ(afterMarker(run.out, "leftovers:\n"), "") << run.out;
  }
}

TEST_F(Apply, OnATerminalItAsksFirstAndItsChildrenHaveNoTerminal) {
  // The login shell the uv step runs reports whether it could open a terminal.
  DerivedScenario probing("brew-not-on-path",
                          {{"files",
                            {{{"path", "~/.zprofile"},
                              {"lines",
                               {"eval \"$(/opt/homebrew/bin/brew shellenv)\"",
                                "if ( : < /dev/tty ) 2>/dev/null; then echo child-tty: open; else echo child-tty: "
                                "none; fi"}}}}}});
  const std::string underTerminal = "script -qec '\"$doctor\" apply brew:uv; echo rc=$?' /dev/null";

  const MacRun yes = inMac(probing.path(), underTerminal, {.stdinText = "y\n"});
  EXPECT_TRUE(has(yes,
                  "Install Python (uv)\n\nWe'll install uv (Astral's installer), use it to install Python, and "
                  "add uv's `~/.local/bin` to your PATH.\n\nGo ahead? [y/N] "))
      << yes.out;
  EXPECT_TRUE(has(yes, "Installing the latest Python with uv…")) << yes.out;
  EXPECT_TRUE(has(yes, "child-tty: none")) << yes.out;
  EXPECT_FALSE(has(yes, "child-tty: open")) << yes.out;
  EXPECT_TRUE(has(yes, "rc=0")) << yes.out;

  const MacRun no =
      inMac(probing.path(), underTerminal + "; test -e /opt/homebrew/bin/uv || echo no-uv", {.stdinText = "n\n"});
  EXPECT_TRUE(has(no, "Nothing was changed.")) << no.out;
  EXPECT_TRUE(has(no, "rc=1")) << no.out;
  EXPECT_TRUE(has(no, "no-uv")) << no.out;

  // Without a terminal to ask on and without --yes, nothing runs.
  const MacRun refused = inMac(probing.path(), "apply brew:uv < /dev/null; test -e /opt/homebrew/bin/uv || echo no-uv");
  EXPECT_TRUE(has(refused, "rc=2\nno-uv")) << refused.out;
  EXPECT_NE(refused.err.find("add --yes to go ahead without asking"), std::string::npos) << refused.err;
}

}  // namespace
}  // namespace bnch::systest
