// The outside tools the remediation jobs drive (mise, rustup, gh, git, the agents'
// command-line tools, a GitHub repository at a pinned commit), run with the jobs' own
// command lines in a login shell, change the simulated disk as the real tools do.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "engine/platform/shell_quote.h"
#include "engine/remediation/github_device_sign_in.h"
#include "engine/remediation/tool_install_commands.h"
#include "harness/simulated_mac.h"

namespace bnch::systest {
namespace {

using nlohmann::json;

const std::string kPin = "57546260929473d4e0d1c1bb75297be2fdfa1949";
const std::string kScratch = "/tmp/bnch-skill-skill-creator-Jo's copy";

json withTools(json overrides = json::object()) {
  json tools = {{"homebrew", {{"formulae", {"uv", "mise", "gh"}}, {"casks", {"warp", "claude-code@latest", "codex"}}}}};
  overrides["tools"] = tools;
  return overrides;
}

json programOptions(const std::string& program, const json& options) {
  return withTools({{"programs", {{program, {{"options", options}}}}}});
}

std::string publishSkill(const std::string& pin) {
  return "mkdir -p /tmp/src/skills/skill-creator && echo '# Skill creator' > /tmp/src/skills/skill-creator/SKILL.md"
         " && /.macsim/fakes/github-repo anthropics/skills /tmp/src " +
         pin + " >/dev/null && ";
}

struct Case {
  const char* name;
  json scenario;  // overrides of ready-mac
  std::string script;
  std::string expected;
};

std::vector<Case> cases() {
  const std::string identity = *gitIdentityCommand("Jo O'Neil \"JJ\" $HOME\nSecond line", "jo+git@example.com");
  const std::string gh = std::string(GitHubText::loginCommand);
  const std::string status = "; echo rc=$?; " + std::string(GitHubText::statusCommand) + "; echo status=$?";
  return {
      {"brew installs mise", json::object(),
       "HOMEBREW_NO_AUTO_UPDATE=1 brew install mise >/dev/null && command -v mise && mise --version",
       "/opt/homebrew/bin/mise\n2024.12.14 macos-arm64 (2024-12-14)\n"},
      {"mise node", withTools(),
       kNodeViaMise.command() + " 2>/dev/null; echo rc=$?; eval \"$(mise activate zsh --shims)\"; node; "
                                "cat ~/.config/mise/config.toml",
       "rc=0\nnode 22.12.0\n[tools]\nnode = \"lts\"\n"},
      {"mise ruby", withTools(),
       kRubyViaMise.command() +
           " 2>/dev/null; echo rc=$?; ls ~/.local/share/mise/shims; cat ~/.config/mise/config.toml",
       "rc=0\nbundle\ngem\nirb\nruby\n[settings]\nruby.compile = false\n[tools]\nruby = \"latest\"\n"},
      {"mise ruby fails", programOptions("mise", {{"use_fails", "ruby@latest"}}),
       kRubyViaMise.command() + " 2>/dev/null; echo rc=$?; ls ~/.local/share/mise; cat ~/.config/mise/config.toml",
       "rc=1\n[settings]\nruby.compile = false\n"},
      {"mise rust", withTools(),
       kRustViaMise.command() + " 2>/dev/null; echo rc=$?; ~/.local/share/mise/shims/cargo; "
                                "cat ~/.config/mise/config.toml",
       "rc=0\ncargo 1.83.0\n[tools]\nrust = \"latest\"\n"},
      {"rustup", json::object(),
       std::string(kRustupInstallCommand) +
           " >/dev/null; echo rc=$?; ~/.cargo/bin/rustup default; ~/.cargo/bin/cargo --version; "
           ". ~/.cargo/env; command -v rustc; test -e ~/.zshenv && echo modified || echo untouched",
       "rc=0\nstable-aarch64-apple-darwin (default)\ncargo 1.83.0 (90b35a623 2024-11-26)\n"
       "/Users/alice/.cargo/bin/rustc\nuntouched\n"},
      {"rustup offline",
       {{"machine", {{"online", false}}}},
       std::string(kRustupInstallCommand) + " 2>/dev/null; echo rc=$?; test -e ~/.cargo && echo installed || echo none",
       "rc=6\nnone\n"},
      {"gh sign-in", withTools(),
       gh + status + "; gh auth setup-git; git config --global --get-all credential.https://github.com.helper",
       "! First copy your one-time code: 4F2A-9C1B\n"
       "Press Enter to open https://github.com/login/device in your browser... \n"
       "✓ Authentication complete.\n- gh config set -h github.com git_protocol https\n"
       "✓ Configured git protocol\n✓ Logged in as alice\nrc=0\nstatus=0\n\n"
       "!/opt/homebrew/bin/gh auth git-credential\n"},
      {"gh sign-in abandoned, address first", programOptions("gh", {{"address_first", "1"}, {"login", "abandon"}}),
       gh + " 2>/dev/null" + status,
       "Press Enter to open https://github.com/login/device in your browser... \n"
       "! First copy your one-time code: 4F2A-9C1B\nrc=1\nstatus=1\n"},
      {"gh window closed after sign-in", programOptions("gh", {{"login", "closed"}}), gh + " >/dev/null" + status,
       "rc=130\nstatus=0\n"},
      {"git identity twice keeps the person's changes", json::object(),
       identity + " && git config --global pull.rebase true && echo mine >> ~/.config/git/ignore && " + identity +
           "; echo rc=$?; for k in user.name user.email pull.rebase fetch.prune init.defaultBranch "
           "push.autoSetupRemote; do git config --global $k; done; head -1 ~/.config/git/ignore; "
           "tail -2 ~/.config/git/ignore",
       "rc=0\nJo O'Neil \"JJ\" $HOME\nSecond line\njo+git@example.com\ntrue\ntrue\nmain\ntrue\n"
       "# Created by Benchkit. Files you never want to commit, in any repo.\n*~\nmine\n"},
      {"skill at its pin", json::object(),
       publishSkill(kPin) + skillFetchCommand("anthropics/skills", kScratch, kPin) +
           " >/dev/null 2>&1; echo rc=$?; cat " + shellSingleQuote(kScratch + "/skills/skill-creator/SKILL.md"),
       "rc=0\n# Skill creator\n"},
      {"skill pin not published", json::object(),
       publishSkill("0123456789012345678901234567890123456789") +
           skillFetchCommand("anthropics/skills", kScratch, kPin) + " >/dev/null 2>&1; echo rc=$?",
       "rc=128\n"},
      {"skill repository missing", json::object(),
       skillFetchCommand("anthropics/skills", kScratch, kPin) + " >/dev/null 2>&1; echo rc=$?", "rc=128\n"},
      {"agent command-line tools", withTools(),
       "claude --version; codex --version; claude mcp list; codex mcp list; mkdir -p ~/.codex; "
       "printf '[mcp_servers.\"firecrawl\"]\\nurl = \"https://example.com/v2/mcp\"\\n' > ~/.codex/config.toml; "
       "echo '{\"mcpServers\":{\"notion\":{\"type\":\"http\",\"url\":\"https://example.com/mcp\"}}}' > ~/.claude.json; "
       "claude mcp list; codex mcp list",
       "1.0.0 (Claude Code)\ncodex-cli 0.1.0\nNo MCP servers configured. Use `claude mcp add` to add a server.\n"
       "No MCP servers configured yet. Try `codex mcp add my-tool -- my-command`.\n"
       "notion: https://example.com/mcp (HTTP)\nfirecrawl\n"},
  };
}

TEST(ToolFakes, JobCommandLinesChangeTheSimulatedDisk) {
  if (!sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  for (const Case& c : cases()) {
    DerivedScenario scenario("ready-mac", c.scenario);
    const MacRun run = loginShell(scenario.path(), c.script, {.env = githubStandInEnv()});
    EXPECT_EQ(run.out, c.expected) << c.name << "\nstderr:\n" << run.err;
  }
}

}  // namespace
}  // namespace bnch::systest
