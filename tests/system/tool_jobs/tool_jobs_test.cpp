// The tool, language, Git, GitHub, Java, skill and MCP remediations, run with
// `benchkit-doctor apply ID --yes` in the simulated Mac; the simulated disk and a fresh
// login shell are checked afterwards.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/platform/shell_quote.h"
#include "harness/adoptium_stand_in.h"
#include "harness/simulated_mac.h"

namespace bnch::systest {
namespace {

using nlohmann::json;

// A zsh line that applies one remediation and prints "== ID rc=N" after its lines.
std::string applyStep(const std::string& id, const std::string& options = "") {
  return "'" + doctorPath().string() + "' apply " + id + options + " --yes; echo \"== " + id + " rc=$?\"; ";
}

bool has(const MacRun& run, const std::string& text) { return run.out.find(text) != std::string::npos; }

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

MacRun inMac(const std::string& scenario, const std::string& script, MacRunOptions options = {}) {
  return runInMac(scenario, {"/bin/zsh", "-c", script}, options);
}

#define SKIP_WITHOUT_SANDBOX() \
  if (!sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here"

TEST(ToolJobsInMac, LanguagesThroughMiseAndRustupWorkInAFreshLoginShell) {
  SKIP_WITHOUT_SANDBOX();
  const MacRun run =
      inMac("ready-mac", applyStep("brew:mise") + applyStep("mise:node@lts") + applyStep("mise:ruby@latest") +
                             applyStep("mise:rust") + applyStep("rustup") + applyStep("rustup") +
                             "/bin/zsh -lc 'node; ruby --version; cargo --version; rustup default'; "
                             "grep -c 'HOME/.cargo/bin' ~/.zprofile; test -f ~/.zprofile.bak && "
                             "echo backup");
  for (const std::string id : {"brew:mise", "mise:node@lts", "mise:ruby@latest", "mise:rust", "rustup"}) {
    EXPECT_TRUE(has(run, "== " + id + " rc=0")) << id << "\n" << run.out << run.err;
  }
  EXPECT_EQ(count(run.out, "Post-install check passed."), 6u) << run.out;
  EXPECT_TRUE(has(run, "Running mise use -g ruby@latest…\n"));
  EXPECT_TRUE(has(run, "node 22.12.0\n")) << run.out;
  EXPECT_TRUE(has(run, "cargo 1.83.0"));
  EXPECT_TRUE(has(run, "stable-aarch64-apple-darwin (default)\n1\nbackup\n")) << run.out;
}

TEST(ToolJobsInMac, ALanguageWithoutMiseAndCasksWithoutHomebrewSayWhatIsMissing) {
  SKIP_WITHOUT_SANDBOX();
  const MacRun run = inMac("fresh-mac", applyStep("mise:node@lts") + applyStep("brew:zed") + applyStep("brew:gh"));
  EXPECT_TRUE(has(run,
                  "Couldn't find mise on this Mac — install mise first, then try again.\n== mise:node@lts "
                  "rc=127"))
      << run.out;
  EXPECT_TRUE(has(run, "Homebrew isn't available yet — install Homebrew first.\n== brew:zed rc=255")) << run.out;
  EXPECT_TRUE(has(run, "Homebrew isn't available yet — install Homebrew first.\n== brew:gh rc=255")) << run.out;
}

TEST(ToolJobsInMac, AppsAndAgentToolsInstallAndClaudeCodeAutoUpdateIsWrittenOnce) {
  SKIP_WITHOUT_SANDBOX();
  const MacRun run = inMac("ready-mac", applyStep("brew:zed") + applyStep("brew:visual-studio-code") +
                                            applyStep("brew:claude-code@latest") +
                                            applyStep("brew:claude-code@latest") + applyStep("brew:codex") +
                                            "/bin/zsh -lc 'claude --version; codex --version; echo "
                                            "$CLAUDE_CODE_PACKAGE_MANAGER_AUTO_UPDATE'; "
                                            "grep -c CLAUDE_CODE_PACKAGE_MANAGER_AUTO_UPDATE ~/.zprofile; "
                                            "ls -d /Applications/Zed.app '/Applications/Visual Studio Code.app'; "
                                            "ls /tmp | grep -c bnch-");
  for (const std::string id : {"brew:zed", "brew:visual-studio-code", "brew:claude-code@latest", "brew:codex"}) {
    EXPECT_TRUE(has(run, "== " + id + " rc=0")) << id << "\n" << run.out << run.err;
  }
  EXPECT_TRUE(has(run, "Installing zed with Homebrew…\n"));
  EXPECT_TRUE(has(run, "Enabled Claude Code auto-update in ~/.zprofile (backup at /Users/alice/.zprofile.bak)."));
  EXPECT_TRUE(has(run, "Claude Code auto-update is already enabled in ~/.zprofile."));
  EXPECT_TRUE(has(run,
                  "1.0.0 (Claude Code)\ncodex-cli 0.1.0\n1\n1\n/Applications/Visual Studio Code.app\n"
                  "/Applications/Zed.app\n0\n"))
      << run.out;
}

TEST(ToolJobsInMac, GitIdentityAndGitHubSignIn) {
  SKIP_WITHOUT_SANDBOX();
  const std::string name = "Jo O'Neil \"JJ\" $HOME";
  const std::string identity = " --name " + shellSingleQuote(name) + " --email jo@example.com";
  const std::string checks =
      "git config --global user.name; git config --global init.defaultBranch; head -1 ~/.config/git/ignore; "
      "git config --global --get-all credential.https://github.com.helper; ";
  const MacRun run =
      inMac("ready-mac", applyStep("git:config", identity) + applyStep("brew:gh") + applyStep("git:gh-auth") + checks);
  EXPECT_TRUE(has(run, "Saving your Git name and email…\nSaved to ~/.gitconfig (+ ~/.config/git/ignore).\n"))
      << run.out << run.err;
  EXPECT_TRUE(has(run, "== git:config rc=0\n"));
  EXPECT_TRUE(has(run, "Starting GitHub sign-in…\n! First copy your one-time code: 4F2A-9C1B\n")) << run.out;
  EXPECT_EQ(count(run.out, "https://github.com/login/device"), 2u) << run.out;  // gh's line, and the browser request
  EXPECT_TRUE(has(run, "Signed in to GitHub. Git is ready — pushes won't ask for a password.\n"));
  EXPECT_TRUE(has(run, "== git:gh-auth rc=0\n" + name +
                           "\nmain\n# Created by Benchkit. Files you never want to commit, in any repo.\n\n"
                           "!/opt/homebrew/bin/gh auth git-credential\n"))
      << run.out;

  // Decided by `gh auth status` alone: a login abandoned in the browser fails, one whose
  // window was closed after approving succeeds.
  const struct {
    const char* login;
    const char* line;
    const char* rc;
  } outcomes[] = {
      {"abandon", "GitHub sign-in not completed. You can finish anytime by running `gh auth login` in your terminal.",
       "rc=1"},
      {"closed", "Signed in to GitHub. Git is ready — pushes won't ask for a password.", "rc=0"},
  };
  for (const auto& o : outcomes) {
    DerivedScenario scenario("ready-mac", {{"tools", {{"homebrew", {{"formulae", {"uv", "gh"}}}}}},
                                           {"programs", {{"gh", {{"options", {{"login", o.login}}}}}}}});
    const MacRun signIn = inMac(scenario.path(), applyStep("git:gh-auth"));
    EXPECT_TRUE(has(signIn, std::string(o.line) + "\n")) << o.login << "\n" << signIn.out;
    EXPECT_TRUE(has(signIn, std::string("== git:gh-auth ") + o.rc)) << o.login << "\n" << signIn.out;
  }
}

TEST(ToolJobsInMac, SkillsComeFromTheAppOrTheirPinAndMCPKeysStayOffTheScreen) {
  SKIP_WITHOUT_SANDBOX();
  const std::string pin = "57546260929473d4e0d1c1bb75297be2fdfa1949";
  const std::string key = "fc-5ecret0123456789";
  const std::string publish =
      "mkdir -p /tmp/src/skills/skill-creator && echo '# Skill creator' > /tmp/src/skills/skill-creator/SKILL.md && "
      "/.macsim/fakes/github-repo anthropics/skills /tmp/src ";
  DerivedScenario agents("ready-mac",
                         {{"files", {{{"path", "~/.claude"}, {"dir", true}}, {{"path", "~/.codex"}, {"dir", true}}}}});
  MacRunOptions options{.env = githubStandInEnv()};
  options.env["BNCH_MCP_API_KEY"] = key;
  const MacRun run = inMac(
      agents.path(),
      publish + "0123456789012345678901234567890123456789 >/dev/null; " + applyStep("skill:skill-creator") + publish +
          pin + " >/dev/null; " + applyStep("skill:skill-creator") + applyStep("skill:avoid-ai-writing") +
          "ls /tmp | grep -c bnch-skill-; ls -A ~/.codex/skills/skill-creator; ls ~/.claude/skills; " +
          applyStep("mcp:firecrawl") + "grep -c " + key + " ~/.claude.json ~/.codex/config.toml; ",
      options);
  EXPECT_TRUE(has(run, "Fetching the Skill creator skill from anthropics/skills…\n")) << run.out << run.err;
  EXPECT_TRUE(has(run, "Couldn't fetch skill-creator from anthropics/skills.\n== skill:skill-creator rc=1\n"));
  EXPECT_TRUE(has(run, "Installed skill-creator for Claude, Codex.\n"));
  EXPECT_TRUE(has(run, "== skill:avoid-ai-writing rc=0\n0\nSKILL.md\navoid-ai-writing\nskill-creator\n")) << run.out;
  EXPECT_TRUE(has(run, "Added firecrawl to your Claude Code config.\nAdded firecrawl to your Codex config.\n"));
  EXPECT_TRUE(has(run, "== mcp:firecrawl rc=0\n/Users/alice/.claude.json:1\n/Users/alice/.codex/config.toml:1\n"))
      << run.out;
  EXPECT_EQ(count(run.out, key), 0u);  // only grep's count above names the files, never the key
  EXPECT_EQ(count(run.err, key), 0u);
}

TEST(ToolJobsInMac, JavaHomeForAnExistingJavaTheTemurinCaskAndTheAdoptiumPackage) {
  SKIP_WITHOUT_SANDBOX();
  DerivedScenario java(
      "ready-mac",
      {{"tools", {{"jdks", {{{"folder", "temurin-21.jdk"}, {"version", "21.0.5"}, {"vendor", "Eclipse Adoptium"}}}}}}});
  MacRun run = inMac(java.path(), applyStep("java-home") + applyStep("java-home") + "/bin/zsh -lc 'echo $JAVA_HOME'");
  EXPECT_TRUE(has(run,
                  "Set JAVA_HOME in ~/.zprofile (macOS finds `java` on its own; backup at "
                  "/Users/alice/.zprofile.bak).\nSuccessful — JAVA_HOME is now set.\n"))
      << run.out << run.err;
  EXPECT_TRUE(has(run, "JAVA_HOME is already set in ~/.zprofile.\nSuccessful — JAVA_HOME is now set.\n"));
  EXPECT_TRUE(has(run, "/Library/Java/JavaVirtualMachines/temurin-21.jdk/Contents/Home\n")) << run.out;

  run = inMac("ready-mac",
              applyStep("brew:temurin") + "ls /Library/Java/JavaVirtualMachines; grep -c JAVA_HOME= ~/.zprofile");
  EXPECT_TRUE(has(run, "Post-install check passed.\n== brew:temurin rc=0\ntemurin-23.jdk\n1\n")) << run.out << run.err;

  AdoptiumStandIn adoptium;
  run = inMac("ready-mac",
              applyStep("pkg:latest") +
                  "ls /Library/Java/JavaVirtualMachines; grep -c JAVA_HOME= ~/.zprofile; ls -A ~/Library/Caches/* | "
                  "grep -c pkg",
              {.env = {{"BNCH_ADOPTIUM_BASE_URL", adoptium.baseURL()}}});
  EXPECT_TRUE(has(run, "Looking up Temurin 25 on Adoptium…\nDownloaded ")) << run.out << run.err;
  EXPECT_TRUE(has(run,
                  " MB\nVerifying SHA256 checksum…\nRunning /usr/sbin/installer (macOS will ask for your password)…\n"
                  "Installer completed.\nSet JAVA_HOME in ~/.zprofile (backup at /Users/alice/.zprofile.bak).\n"))
      << run.out;
  EXPECT_TRUE(has(run, "== pkg:latest rc=0\ntemurin-25.jdk\n1\n0\n")) << run.out;
}

TEST(ToolJobsInMac, NetworkFailuresAndACanceledPasswordDialogLeaveTheShellFilesAlone) {
  SKIP_WITHOUT_SANDBOX();
  MacRun run = inMac("offline", applyStep("rustup") + applyStep("brew:zed") + "grep -c cargo ~/.zprofile");
  EXPECT_TRUE(has(run, "curl: (6) Could not resolve host: sh.rustup.rs\n== rustup rc=6\n")) << run.out << run.err;
  EXPECT_TRUE(has(run, "Error: zed: Failed to download resource \"zed\""));
  EXPECT_FALSE(has(run, "== brew:zed rc=0"));
  EXPECT_TRUE(run.out.ends_with("\n0\n")) << run.out;

  DerivedScenario dismissed("ready-mac", {{"machine", {{"dialog", "cancel"}}}});
  run = inMac(dismissed.path(), applyStep("brew:temurin") + "grep -c JAVA_HOME ~/.zprofile; ls /tmp | grep -c bnch-");
  EXPECT_TRUE(has(run, "== brew:temurin rc=130\n0\n0\n")) << run.out << run.err;
}

}  // namespace
}  // namespace bnch::systest
