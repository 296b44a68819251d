#include "tools/benchkit-doctor/apply_arguments.h"

#include <gtest/gtest.h>

#include <set>

namespace bnch::doctor {
namespace {

using Kind = SetupRemediation::Kind;

const ApplyContext context{.home = "/Users/alice", .brewBin = "/usr/local/bin", .refreshIndex = true};

TEST(ApplyArguments, ReadsEveryKindOfIdentifier) {
  struct Case {
    std::vector<std::string> arguments;
    SetupRemediation expected;
    bool yes;
  };
  const std::vector<Case> cases = {
      {{"clt", "--yes"}, SetupRemediation::of(Kind::installCommandLineTools), true},
      {{"path-repair:homebrew"}, SetupRemediation::of(Kind::repairHomebrewPath), false},
      {{"brew:uv"}, SetupRemediation::installUv(true), false},
      {{"example:coding", "--yes"}, SetupRemediation::createProject(ProjectTemplate::coding, std::nullopt), true},
      {{"skill:" + AgentSkill::offered().front().slug},
       SetupRemediation::installSkill(AgentSkill::offered().front()),
       false},
      {{"mcp:" + MCPServer::offered().front().slug, "--api-key-stdin"},
       SetupRemediation::addMCPServer(MCPServer::offered().front(), std::nullopt),
       false},
      {{"git:config", "--name", "O'Brien \"$x\"", "--email", "ob@example.com", "--yes"},
       SetupRemediation::configureGit("O'Brien \"$x\"", "ob@example.com"),
       true},
      {{"path-repair:local-bin"}, SetupRemediation::repairPath("/Users/alice/.local/bin"), false},
      {{"path-repair:brew-bin"}, SetupRemediation::repairPath("/usr/local/bin"), false},
      {{"path-repair:~/my tools"}, SetupRemediation::repairPath("/Users/alice/my tools"), false},
  };
  for (const Case& c : cases) {
    const ApplyArguments parsed = parseApplyArguments(c.arguments, context);
    EXPECT_EQ(parsed.remediation, c.expected) << c.arguments.front();
    EXPECT_EQ(parsed.yes, c.yes) << c.arguments.front();
  }
}

TEST(ApplyArguments, RefusesWhatItCannotRunAndKeysOnTheCommandLine) {
  const std::vector<std::vector<std::string>> refused = {
      {},
      {"--yes"},
      {"brew:nothing"},
      {"clt", "--force"},
      {"git:config", "--name", "Alice"},
      {"git:config", "--email"},
      {"mcp:" + MCPServer::offered().front().slug, "--api-key", "sk-secret"},
      {"mcp:" + MCPServer::offered().front().slug, "--api-key=sk-secret"},
      {"path-repair:relative/dir"},
  };
  for (const auto& arguments : refused) {
    EXPECT_THROW(parseApplyArguments(arguments, context), ApplyUsageError) << ::testing::PrintToString(arguments);
  }
  try {
    parseApplyArguments({"mcp:" + MCPServer::offered().front().slug, "--api-key=sk-secret"}, context);
  } catch (const ApplyUsageError& error) {
    EXPECT_EQ(std::string(error.what()).find("sk-secret"), std::string::npos);  // never echoed back
  }
}

TEST(ApplyArguments, TheListNamesEachIdentifierOnceAndEveryOneParses) {
  std::set<std::string> seen;
  for (const ApplyCatalogueEntry& entry : applyCatalogue()) {
    EXPECT_TRUE(seen.insert(entry.id).second) << entry.id;
    EXPECT_FALSE(entry.title.empty()) << entry.id;
    if (entry.id.find(' ') != std::string::npos || entry.id.ends_with("DIR")) continue;  // placeholders
    const ApplyArguments parsed = parseApplyArguments({entry.id}, context);
    if (!entry.id.starts_with("path-repair:") || entry.id == "path-repair:homebrew") {
      EXPECT_EQ(parsed.remediation.id(), entry.id);
    }
  }
  EXPECT_TRUE(seen.count("clt") && seen.count("brew:uv") && seen.count("example:python") && seen.count("git:gh-auth"));
}

}  // namespace
}  // namespace bnch::doctor
