#include "engine/remediation/agent_env_doc.h"
#include "engine/product/python_product.h"

#include <gtest/gtest.h>

#include "tests/support/rooted_file_system.h"
#include "tests/support/temp_dir.h"

namespace bnch {
namespace {

using testing::RootedFileSystem;
using testing::TempDir;

class AgentEnvDocTest : public ::testing::Test {
 protected:
  AgentEnvDoc doc() { return AgentEnvDoc(fs, pythonProduct()); }

  TempDir dir;
  RootedFileSystem fs{dir.path()};
};

const std::string kHead =
    "<!-- Benchkit \u2014 development environment (managed; you can edit the lines below) -->\n"
    "## Development environment (Benchkit)\n"
    "\n"
    "This Mac's developer toolchain was configured by Benchkit. One owner per language (no conflicting version "
    "managers on PATH). When working in a project, drive per-project versions with the manager that owns the "
    "language:\n"
    "\n";
const std::string kTail =
    "\n"
    "PATH and tool activation live in `~/.zprofile` (login shells, including this agent's own subshells) and "
    "`~/.zshrc` (interactive mise activation). API keys go in `~/.env` (sourced by `~/.zshrc`); never hardcode a "
    "key.\n";

TEST_F(AgentEnvDocTest, WithoutAnAgentNothingIsWritten) {
  fs.makeExecutable("/opt/homebrew/bin/brew");
  EXPECT_EQ(doc().write(),
            (WriterReport{{"No AI agent (Claude or Codex) detected \u2014 skipping the agent setup note."}, true}));
  EXPECT_EQ(fs.snapshot().count("/Users/alice/.claude"), 0u);
}

TEST_F(AgentEnvDocTest, DescribesTheDetectedToolchainOnceForEachAgent) {
  fs.makeExecutable("/opt/homebrew/bin/brew");
  fs.makeExecutable("/Users/alice/.local/bin/uv");
  fs.writeFile("/Users/alice/.zprofile", "export JAVA_HOME=$(/usr/libexec/java_home)\n");
  fs.makeExecutable("/usr/local/bin/claude");
  fs.makeDirectory("/Users/alice/.codex");
  fs.writeFile("/Users/alice/.codex/AGENTS.md", "# My rules\nBe brief.");

  const WriterReport first = doc().write();

  EXPECT_EQ(first, (WriterReport{{"Documented your setup for Claude (~/.claude/CLAUDE.md).",
                                  "Documented your setup for Codex (~/.codex/AGENTS.md)."},
                                 true}));
  const std::string note =
      kHead + "- Homebrew is the base package manager (`brew`).\n" +
      "- Python: uv owns Python. `uv python install <version>`, `uv venv` / `.venv`, `uv run`; pin per project with "
      "`uv python pin <version>`. Do not use a Homebrew or system `python` for projects.\n" +
      "- Java: Temurin JDK via Homebrew; `JAVA_HOME` is set with `/usr/libexec/java_home` (use `-v <N>` to select a "
      "version).\n" +
      kTail;
  EXPECT_EQ(fs.contents("/Users/alice/.claude/CLAUDE.md"), note);
  EXPECT_FALSE(fs.fileExists("/Users/alice/.claude/CLAUDE.md.bak"));  // there was no text to keep
  EXPECT_EQ(fs.contents("/Users/alice/.codex/AGENTS.md"), "# My rules\nBe brief.\n\n" + note);
  EXPECT_EQ(fs.contents("/Users/alice/.codex/AGENTS.md.bak"), "# My rules\nBe brief.");

  const auto before = fs.snapshot();
  EXPECT_EQ(doc().write(),
            (WriterReport{{"Claude (~/.claude/CLAUDE.md) already documents the setup \u2014 nothing to do.",
                           "Codex (~/.codex/AGENTS.md) already documents the setup \u2014 nothing to do."},
                          true}));
  EXPECT_EQ(fs.snapshot(), before);
}

TEST_F(AgentEnvDocTest, DetectsRustMiseAndTheAgentsFromTheirUsualPlaces) {
  fs.writeFile("/Users/alice/.zprofile", "export PATH=\"$HOME/.cargo/bin:$PATH\"\n");
  fs.makeExecutable("/usr/local/bin/mise");
  fs.makeDirectory("/Applications/ChatGPT.app");
  EXPECT_EQ(doc().detect(), (AgentEnvDoc::Detection{.nodeAndRuby = true, .rust = true, .codex = true}));

  fs.removeItem("/Users/alice/.zprofile");
  fs.makeDirectory("/Users/alice/.zprofile");  // unreadable: mentions nothing
  fs.makeDirectory("/Users/alice/.claude");
  EXPECT_EQ(doc().detect(), (AgentEnvDoc::Detection{.nodeAndRuby = true, .claude = true, .codex = true}));
}

TEST_F(AgentEnvDocTest, ANoteThatCannotBeReadIsReportedAndNotReplaced) {
  fs.makeDirectory("/Users/alice/.claude/CLAUDE.md");
  fs.makeDirectory("/Users/alice/.codex");
  fs.writeFile("/Users/alice/.codex/AGENTS.md", "caf\xE9\n");  // not UTF-8: kept as it is

  const WriterReport report = doc().write();

  EXPECT_EQ(report, (WriterReport{{"Couldn't write Claude (~/.claude/CLAUDE.md): The file \u201CCLAUDE.md\u201D "
                                   "couldn\u2019t be opened because it is a folder.",
                                   "Documented your setup for Codex (~/.codex/AGENTS.md)."},
                                  false}));
  EXPECT_TRUE(fs.directoryExists("/Users/alice/.claude/CLAUDE.md"));
  EXPECT_EQ(fs.contents("/Users/alice/.codex/AGENTS.md"), "caf\xE9\n\n" + kHead + kTail);
  EXPECT_EQ(fs.contents("/Users/alice/.codex/AGENTS.md.bak"), "caf\xE9\n");
}

}  // namespace
}  // namespace bnch
