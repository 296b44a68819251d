// Skills and MCP servers for the person's AI agents, run through the runner.

#include <gtest/gtest.h>
#include <algorithm>

#include <chrono>
#include <fstream>

#include "engine/remediation/runner_text.h"
#include "tests/unit/remediation/remediation_runner_fixture.h"

namespace bnch {
namespace {

using testing::ScriptedReply;
using Event = RemediationEvent;
namespace fs = std::filesystem;

struct AgentJobs : testing::RemediationRunnerFixture {
  void SetUp() override {
    resources.resourcesDirectory = "/resources";
    write("/resources/skills/avoid-ai-writing/SKILL.md", "# Avoid AI writing\n");
    fs::create_directories(real("/Users/alice/.claude"));
    fs::create_directories(real("/Users/alice/.codex"));
  }
  void write(const fs::path& path, const std::string& text) const {
    fs::create_directories(real(path).parent_path());
    std::ofstream(real(path)) << text;
  }
  std::string read(const fs::path& path) const { return fs->readString(path); }
  static const AgentSkill& skill(const std::string& slug) {
    const auto& all = AgentSkill::offered();
    return *std::find_if(all.begin(), all.end(), [&](const AgentSkill& s) { return s.slug == slug; });
  }
  static const MCPServer& server(const std::string& slug) {
    const auto& all = MCPServer::offered();
    return *std::find_if(all.begin(), all.end(), [&](const MCPServer& s) { return s.slug == slug; });
  }
};

TEST_F(AgentJobs, ABundledSkillIsCopiedToEveryAgentAndAMissingOneIsNamed) {
  auto events = run(SetupRemediation::installSkill(skill("avoid-ai-writing")));
  EXPECT_EQ(events,
            (std::vector<Event>{Event::output("Installed avoid-ai-writing for Claude, Codex."), Event::completed(0)}));
  EXPECT_EQ(read("/Users/alice/.codex/skills/avoid-ai-writing/SKILL.md"), "# Avoid AI writing\n");

  events = run(SetupRemediation::installSkill(skill("downloads-cleanup")));
  EXPECT_EQ(events, (std::vector<Event>{Event::output(RunnerText::bundledSkillMissing("downloads-cleanup")),
                                        Event::completed(1)}));
}

TEST_F(AgentJobs, AFetchedSkillsScratchFolderIsPrivateAndGoneOnEveryPath) {
  const AgentSkill& creator = skill("skill-creator");
  const std::string fetching = RunnerText::fetchingSkill("Skill creator", "anthropics/skills");
  // The clone's command names the scratch folder; the fake clone fills it.
  std::optional<fs::perms> scratchPermissions;
  const auto cloneInto = [&](const std::string& command) {
    const auto start = command.find("'/tmp/bnch-skill-skill-creator-");
    const std::string scratch = command.substr(start + 1, command.find('\'', start + 1) - start - 1);
    scratchPermissions = fs::status(real(scratch)).permissions();
    write(scratch + "/.git/HEAD", "57546260929473d4e0d1c1bb75297be2fdfa1949\n");
    write(scratch + "/skills/skill-creator/SKILL.md", "# Skill creator\n");
    return ScriptedReply::streams({"Cloning into '" + scratch + "'..."});
  };
  const auto isClone = [](const std::string& command) { return command.starts_with("git clone"); };

  // Cannot be cloned.
  process->answerShellWhen(isClone, ScriptedReply::streams({"fatal: unable to access "
                                                            "'https://github.com/anthropics/skills/': Could not "
                                                            "resolve host: github.com"},
                                                           128));
  auto events = run(SetupRemediation::installSkill(creator));
  EXPECT_EQ(lines(events).front(), fetching);
  EXPECT_EQ(lines(events).back(), "Couldn't fetch skill-creator from anthropics/skills.");
  EXPECT_EQ(events.back(), Event::completed(1));
  EXPECT_TRUE(temporaryFolderEmpty());

  // Cloned at the pin and installed without the repository's history.
  process->answerShellWith(isClone, cloneInto);
  events = run(SetupRemediation::installSkill(creator));
  EXPECT_EQ(lines(events).back(), "Installed skill-creator for Claude, Codex.");
  EXPECT_EQ(events.back(), Event::completed(0));
  EXPECT_EQ(scratchPermissions, fs::perms::owner_all);
  EXPECT_EQ(read("/Users/alice/.claude/skills/skill-creator/SKILL.md"), "# Skill creator\n");
  EXPECT_FALSE(fs::exists(real("/Users/alice/.claude/skills/skill-creator/.git")));
  EXPECT_NE(process->shellCommands().back().find(" checkout '57546260929473d4e0d1c1bb75297be2fdfa1949'"),
            std::string::npos);
  EXPECT_TRUE(temporaryFolderEmpty());

  // Cancelled while the clone runs.
  process->answerShellWhen(isClone, ScriptedReply::hangs({"Cloning into '/tmp/…'..."}));
  const std::size_t before = process->requests().size();
  SetupRemediationRunner runner(services());
  {
    auto stream = runner.run(SetupRemediation::installSkill(creator), reason);
    ASSERT_TRUE(process->waitForRequests(before + 1));
    stream.cancel();
  }
  ASSERT_TRUE(runner.waitForJobs(std::chrono::seconds(10)));
  EXPECT_TRUE(temporaryFolderEmpty());
  EXPECT_TRUE(process->calls().back().terminated);
}

TEST_F(AgentJobs, AnAPIKeyIsTrimmedWrittenWhereNeededAndNeverShown) {
  const std::string key = "fc-0123456789abcdef";
  write("/Users/alice/.claude.json", "[\"not an object\"]");  // forces the manual line, which names the address

  auto events = run(SetupRemediation::addMCPServer(server("firecrawl"), "  " + key + "\n"));
  for (const auto& line : lines(events)) EXPECT_EQ(line.find(key), std::string::npos) << line;
  EXPECT_TRUE(saw(events,
                  "Couldn’t read ~/.claude.json, so firecrawl wasn’t added automatically. You can add it with:  "
                  "claude mcp add --transport http firecrawl https://mcp.firecrawl.dev/YOUR_API_KEY/v2/mcp -s user"));
  EXPECT_TRUE(saw(events, "Added firecrawl to your Codex config."));
  EXPECT_EQ(events.back(), Event::completed(1));
  EXPECT_NE(read("/Users/alice/.codex/config.toml").find("url = \"https://mcp.firecrawl.dev/" + key + "/v2/mcp\""),
            std::string::npos);

  // A key with a space inside changes nothing.
  const std::string codexBefore = read("/Users/alice/.codex/config.toml");
  events = run(SetupRemediation::addMCPServer(server("firecrawl"), "fc-01 23"));
  EXPECT_EQ(events, (std::vector<Event>{Event::output(std::string(MCPServerText::keyRejected)), Event::completed(1)}));
  EXPECT_EQ(read("/Users/alice/.codex/config.toml"), codexBefore);
}

TEST_F(AgentJobs, MCPServerClosingLinesFollowWhichAgentsAreThere) {
  const struct {
    std::string name;
    std::vector<std::string> folders;  // under the home folder
    std::string slug;
    std::vector<std::string> lines;
  } cases[] = {
      {"nobody", {}, "notion", {MCPServerText::noAgent("Notion")}},
      {"only Claude Desktop",
       {"Library/Application Support/Claude"},
       "firecrawl",
       {MCPServerText::claudeDesktopHint("Firecrawl")}},
      {"Claude Code, sign-in server",
       {".claude"},
       "notion",
       {"Added notion to your Claude Code config.", MCPServerText::signInToFinish("Notion")}},
      {"Codex and Claude Desktop, keyless server",
       {".codex", "Library/Application Support/Claude"},
       "firecrawl",
       {"Added firecrawl to your Codex config.", MCPServerText::claudeDesktopHint("Firecrawl")}},
  };
  for (const auto& c : cases) {
    fs::remove_all(real("/Users/alice"));
    for (const auto& folder : c.folders) fs::create_directories(real("/Users/alice/" + folder));
    const auto events = run(SetupRemediation::addMCPServer(server(c.slug), std::nullopt));
    EXPECT_EQ(lines(events), c.lines) << c.name;
    EXPECT_EQ(events.back(), Event::completed(0)) << c.name;
  }
}

}  // namespace
}  // namespace bnch
