// Runs each writer against a file system that fails its Nth operation, for every
// N a clean run reaches, with and without a disk that fills up halfway through a
// write. After every run each item on disk must be exactly as before or exactly
// as after a clean run (so no half-written file, no stray temporary file, no
// incomplete backup), nothing the person had may be gone, and the failure must
// have been reported.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "engine/product/python_product.h"
#include "engine/remediation/agent_env_doc.h"
#include "engine/remediation/mcp_config_writer.h"
#include "engine/remediation/shell_configurator.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/temp_dir.h"

namespace bnch {
namespace {

using testing::ByteWriter;
using testing::FaultInjectingFileSystem;
using testing::RootedFileSystem;
using testing::TempDir;
using Snapshot = std::map<std::string, RootedFileSystem::Item>;

struct Scenario {
  const char* name;
  std::function<void(RootedFileSystem&)> layOut;
  // Runs the writer; returns true when it reported a failure.
  std::function<bool(FileSystemOperating&)> run;
};

void personsShellFiles(RootedFileSystem& fs) {
  fs.writeFile("/Users/alice/.zprofile", "eval \"$(/opt/homebrew/bin/brew shellenv)\"");
  fs.writeFile("/Users/alice/dotfiles/zshrc", "export EDITOR=nano\r\n");
  fs.makeSymlink("/Users/alice/.zshrc", "/Users/alice/dotfiles/zshrc");
}

// A new Mac: the start-up files get their header line, written together with the block.
void emptyHome(RootedFileSystem& fs) { fs.makeDirectory("/Users/alice"); }

void personsAgentFiles(RootedFileSystem& fs) {
  fs.makeDirectory("/Users/alice/.claude");
  fs.writeFile("/Users/alice/.claude.json", R"({"numStartups": 3, "costUSD": 0.10, "projects": {"/x": {}}})", 0600);
  fs.writeFile("/Users/alice/.claude.json.bak", "{}", 0600);
  fs.writeFile("/Users/alice/.claude/CLAUDE.md", "Be brief.\n");
  fs.makeDirectory("/Users/alice/.codex");
  fs.writeFile("/Users/alice/.codex/config.toml", "model = \"o4\"\n", 0600);
  fs.makeExecutable("/opt/homebrew/bin/brew");
}

bool configureFails(FileSystemOperating& fs) { return !ShellConfigurator(fs, pythonProduct()).configure().succeeded; }

const Scenario kScenarios[] = {
    {"ShellConfigurator::configure", personsShellFiles, configureFails},
    {"ShellConfigurator::configure (new Mac)", emptyHome, configureFails},
    {"MCPConfigWriter::addToClaude", personsAgentFiles,
     [](FileSystemOperating& fs) {
       return MCPConfigWriter(fs).addToClaude("firecrawl", "https://mcp.firecrawl.dev/v2/mcp").failed;
     }},
    {"MCPConfigWriter::addToCodex", personsAgentFiles,
     [](FileSystemOperating& fs) {
       return MCPConfigWriter(fs).addToCodex("firecrawl", "https://mcp.firecrawl.dev/v2/mcp").failed;
     }},
    {"AgentEnvDoc::write", personsAgentFiles,
     [](FileSystemOperating& fs) { return !AgentEnvDoc(fs, pythonProduct()).write().succeeded; }},
};

// A fresh simulated home with the scenario's files, behind a fault injector.
struct Machine {
  explicit Machine(const Scenario& scenario)
      : faulty([this](ByteWriter writer) {
          rooted = std::make_shared<RootedFileSystem>(dir.path(), RootedFileSystem::Options{.writeBytes = writer});
          return rooted;
        }) {
    scenario.layOut(*rooted);
    faulty.setCountReads(true);
    faulty.resetCount();
  }

  TempDir dir;
  std::shared_ptr<RootedFileSystem> rooted;
  FaultInjectingFileSystem faulty;
};

TEST(WriterFaultInjection, EveryFailurePointLeavesEachFileWholeAndIsReported) {
  int exercised = 0;
  for (const auto& scenario : kScenarios) {
    const int exercisedBefore = exercised;
    Machine clean(scenario);
    const Snapshot before = clean.rooted->snapshot();
    ASSERT_FALSE(scenario.run(clean.faulty)) << scenario.name;
    const int operations = clean.faulty.operationCount();
    const Snapshot after = clean.rooted->snapshot();
    ASSERT_GT(operations, 0) << scenario.name;
    ASSERT_NE(before, after) << scenario.name;

    for (auto kind :
         {FaultInjectingFileSystem::FaultKind::beforeOperation, FaultInjectingFileSystem::FaultKind::partialWrite}) {
      for (int n = 1; n <= operations; ++n) {
        Machine machine(scenario);
        machine.faulty.failOperation(n, ENOSPC, kind);
        const bool reported = scenario.run(machine.faulty);
        const Snapshot result = machine.rooted->snapshot();
        const std::string where = std::string(scenario.name) + " failing operation " + std::to_string(n) +
                                  (kind == FaultInjectingFileSystem::FaultKind::partialWrite ? " halfway" : "");

        ASSERT_TRUE(machine.faulty.faultFired()) << where;
        EXPECT_TRUE(reported) << where;
        for (const auto& [path, item] : result) {
          const auto old = before.find(path);
          const auto updated = after.find(path);
          const bool whole =
              (old != before.end() && old->second == item) || (updated != after.end() && updated->second == item);
          EXPECT_TRUE(whole) << where << ": " << path << " holds \"" << item.contents << "\"";
        }
        for (const auto& [path, item] : before) {
          EXPECT_TRUE(result.contains(path)) << where << ": " << path << " is gone";
        }
        ++exercised;
      }
    }
    std::printf("fault points exercised in %s: %d\n", scenario.name, exercised - exercisedBefore);
  }
  std::printf("fault points exercised: %d\n", exercised);
  EXPECT_GT(exercised, 20);
}

}  // namespace
}  // namespace bnch
