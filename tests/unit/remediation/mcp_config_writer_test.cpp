#include "engine/remediation/mcp_config_writer.h"

#include <gtest/gtest.h>

#include "engine/remediation/codex_config.h"
#include "engine/remediation/mcp_server.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/temp_dir.h"

namespace bnch {
namespace {

using testing::RootedFileSystem;
using testing::TempDir;

const std::string kFirecrawl = "https://mcp.firecrawl.dev/v2/mcp";

const MCPServer& offeredServer(const std::string& slug) {
  for (const auto& server : MCPServer::offered()) {
    if (server.slug == slug) return server;
  }
  throw std::runtime_error("no server " + slug);
}

class MCPConfigWriterTest : public ::testing::Test {
 protected:
  TempDir dir;
  RootedFileSystem fs{dir.path()};
  MCPConfigWriter writer{fs};
};

TEST(MCPServerEndpoint, FirecrawlUsesItsKeyTemplateOnlyWithAKey) {
  const MCPServer& firecrawl = offeredServer("firecrawl");
  EXPECT_EQ(firecrawl.endpoint(std::nullopt), kFirecrawl);
  EXPECT_EQ(firecrawl.endpoint(""), kFirecrawl);
  EXPECT_EQ(firecrawl.endpoint("fc-123"), "https://mcp.firecrawl.dev/fc-123/v2/mcp");
  EXPECT_EQ(offeredServer("notion").endpoint("ignored"), "https://mcp.notion.com/mcp");
}

TEST_F(MCPConfigWriterTest, NothingHappensForAnAgentThatIsNotThere) {
  EXPECT_EQ(writer.addToClaude("firecrawl", kFirecrawl), MCPConfigWriter::Outcome{});
  EXPECT_EQ(writer.addToCodex("firecrawl", kFirecrawl), MCPConfigWriter::Outcome{});
  EXPECT_FALSE(fs.fileExists("/Users/alice/.claude.json"));
  EXPECT_FALSE(fs.fileExists("/Users/alice/.codex"));
}

TEST_F(MCPConfigWriterTest, ClaudeGetsANewPrivateConfigWhenItHasNone) {
  fs.makeExecutable("/opt/homebrew/bin/claude");

  const auto outcome = writer.addToClaude("firecrawl", kFirecrawl);

  EXPECT_EQ(outcome, (MCPConfigWriter::Outcome{{"Added firecrawl to your Claude Code config."}, true, false}));
  EXPECT_EQ(fs.contents("/Users/alice/.claude.json"),
            "{\n"
            "  \"mcpServers\": {\n"
            "    \"firecrawl\": {\n"
            "      \"type\": \"http\",\n"
            "      \"url\": \"https://mcp.firecrawl.dev/v2/mcp\"\n"
            "    }\n"
            "  }\n"
            "}");
  EXPECT_EQ(fs.snapshot().at("/Users/alice/.claude.json").mode & 0777, 0600u);
  EXPECT_FALSE(fs.fileExists("/Users/alice/.claude.json.bak"));
}

TEST_F(MCPConfigWriterTest, ClaudeKeepsEveryOtherValueExactlyAndBacksUpTheOldFile) {
  fs.makeDirectory("/Users/alice/.claude");
  const std::string original =
      R"({"userID":"b7e1","numStartups":12,"tipsHistory":{"x":3},"costUSD":0.1234567890123456789,)"
      R"("bigCounter":123456789012345678901234567890,"ratio":1.50,"tiny":1e-400,"name":"Zoë / ✓",)"
      R"("mcpServers":{"notion":{"type":"http","url":"https://mcp.notion.com/mcp"}}})";
  fs.writeFile("/Users/alice/.claude.json", original, 0644);
  fs.writeFile("/Users/alice/.claude.json.bak", "older backup");

  const auto outcome = writer.addToClaude("firecrawl", kFirecrawl);

  EXPECT_FALSE(outcome.failed);
  EXPECT_EQ(fs.contents("/Users/alice/.claude.json.bak"), original);
  EXPECT_EQ(fs.snapshot().at("/Users/alice/.claude.json.bak").mode & 0777, 0600u);
  EXPECT_EQ(fs.snapshot().at("/Users/alice/.claude.json").mode & 0777, 0600u);
  EXPECT_EQ(fs.contents("/Users/alice/.claude.json"),
            "{\n"
            "  \"bigCounter\": 123456789012345678901234567890,\n"
            "  \"costUSD\": 0.1234567890123456789,\n"
            "  \"mcpServers\": {\n"
            "    \"firecrawl\": {\n"
            "      \"type\": \"http\",\n"
            "      \"url\": \"https://mcp.firecrawl.dev/v2/mcp\"\n"
            "    },\n"
            "    \"notion\": {\n"
            "      \"type\": \"http\",\n"
            "      \"url\": \"https://mcp.notion.com/mcp\"\n"
            "    }\n"
            "  },\n"
            "  \"name\": \"Zoë / ✓\",\n"
            "  \"numStartups\": 12,\n"
            "  \"ratio\": 1.50,\n"
            "  \"tiny\": 1e-400,\n"
            "  \"tipsHistory\": {\n"
            "    \"x\": 3\n"
            "  },\n"
            "  \"userID\": \"b7e1\"\n"
            "}");
}

TEST_F(MCPConfigWriterTest, ALinkedConfigIsWrittenThroughAndTheLinkKept) {
  fs.makeDirectory("/Users/alice/.claude");
  fs.writeFile("/Users/alice/dotfiles/claude.json", R"({"theme":"dark"})", 0644);
  fs.makeSymlink("/Users/alice/.claude.json", "/Users/alice/dotfiles/claude.json");

  EXPECT_FALSE(writer.addToClaude("firecrawl", kFirecrawl).failed);

  const auto items = fs.snapshot();
  EXPECT_EQ(items.at("/Users/alice/.claude.json").type, FileType::symlink);
  EXPECT_EQ(items.at("/Users/alice/.claude.json").contents, "/Users/alice/dotfiles/claude.json");
  EXPECT_NE(items.at("/Users/alice/dotfiles/claude.json").contents.find("\"firecrawl\""), std::string::npos);
  EXPECT_EQ(items.at("/Users/alice/dotfiles/claude.json").mode & 0777, 0600u);
  EXPECT_EQ(items.at("/Users/alice/.claude.json.bak").contents, R"({"theme":"dark"})");
}

TEST_F(MCPConfigWriterTest, AServerAlreadyInClaudesConfigIsLeftAsIs) {
  fs.makeDirectory("/Users/alice/.claude");
  const std::string original = R"({"mcpServers":{"firecrawl":{"type":"http","url":"https://example.com/mine"}}})";
  fs.writeFile("/Users/alice/.claude.json", original);

  const auto outcome = writer.addToClaude("firecrawl", kFirecrawl);

  EXPECT_EQ(outcome, (MCPConfigWriter::Outcome{
                         {"firecrawl is already in your Claude Code config \u2014 left as is."}, true, false}));
  EXPECT_EQ(fs.contents("/Users/alice/.claude.json"), original);
  EXPECT_FALSE(fs.fileExists("/Users/alice/.claude.json.bak"));
}

TEST_F(MCPConfigWriterTest, AClaudeConfigThatIsNotAJsonObjectGetsTheManualCommandAndIsNotTouched) {
  fs.makeDirectory("/Users/alice/.claude");
  const std::string manual =
      "Couldn\u2019t read ~/.claude.json, so notion wasn\u2019t added automatically. You can add it with:  claude mcp "
      "add --transport http notion https://mcp.notion.com/mcp -s user";
  for (const std::string bad : {
           "[1, 2, 3]",
           "",
           "not json at all",
           "{\n  // my servers\n  \"mcpServers\": {}\n}",
           R"({"mcpServers": ["a list"]})",
           "{\"name\": \"caf\xE9\"}",
       }) {
    fs.writeFile("/Users/alice/.claude.json", bad);
    const auto outcome = writer.addToClaude("notion", "https://mcp.notion.com/mcp");
    EXPECT_EQ(outcome, (MCPConfigWriter::Outcome{{manual}, true, true})) << bad;
    EXPECT_EQ(fs.contents("/Users/alice/.claude.json"), bad);
    EXPECT_FALSE(fs.fileExists("/Users/alice/.claude.json.bak"));
  }

  fs.removeItem("/Users/alice/.claude.json");
  fs.makeDirectory("/Users/alice/.claude.json");
  EXPECT_EQ(writer.addToClaude("notion", "https://mcp.notion.com/mcp"),
            (MCPConfigWriter::Outcome{{manual}, true, true}));
}

TEST_F(MCPConfigWriterTest, CodexGetsATableAppendedAfterABlankLine) {
  fs.makeDirectory("/Users/alice/.codex");
  fs.writeFile("/Users/alice/.codex/config.toml", "model = \"o4\"", 0644);  // no final line feed

  const auto outcome = writer.addToCodex("firecrawl", "https://mcp.firecrawl.dev/fc-\"x\\y/v2/mcp");

  EXPECT_EQ(outcome, (MCPConfigWriter::Outcome{{"Added firecrawl to your Codex config."}, true, false}));
  EXPECT_EQ(fs.contents("/Users/alice/.codex/config.toml"),
            "model = \"o4\"\n\n[mcp_servers.firecrawl]\nurl = \"https://mcp.firecrawl.dev/fc-\\\"x\\\\y/v2/mcp\"\n");
  EXPECT_EQ(fs.contents("/Users/alice/.codex/config.toml.bak"), "model = \"o4\"");
  EXPECT_EQ(fs.snapshot().at("/Users/alice/.codex/config.toml").mode & 0777, 0600u);
  EXPECT_EQ(fs.snapshot().at("/Users/alice/.codex/config.toml.bak").mode & 0777, 0600u);

  // A second server follows after one line feed; the backup now holds the first version.
  writer.addToCodex("slack", "https://mcp.slack.com/mcp");
  EXPECT_EQ(fs.contents("/Users/alice/.codex/config.toml.bak"),
            "model = \"o4\"\n\n[mcp_servers.firecrawl]\nurl = \"https://mcp.firecrawl.dev/fc-\\\"x\\\\y/v2/mcp\"\n");
  EXPECT_TRUE(fs.contents("/Users/alice/.codex/config.toml")
                  .ends_with("/v2/mcp\"\n\n[mcp_servers.slack]\nurl = \"https://mcp.slack.com/mcp\"\n"));
}

TEST_F(MCPConfigWriterTest, CodexInstalledWithoutItsFolderGetsTheFolderAndANewFile) {
  fs.makeExecutable("/usr/local/bin/codex");
  EXPECT_FALSE(writer.addToCodex("notion", "https://mcp.notion.com/mcp").failed);
  EXPECT_EQ(fs.contents("/Users/alice/.codex/config.toml"),
            "[mcp_servers.notion]\nurl = \"https://mcp.notion.com/mcp\"\n");
  EXPECT_FALSE(fs.fileExists("/Users/alice/.codex/config.toml.bak"));
}

TEST_F(MCPConfigWriterTest, ACodexTableInAnySpellingIsRecognised) {
  for (const std::string declared : {
           "[mcp_servers.firecrawl]",
           "[mcp_servers.\"firecrawl\"]",
           "  [ mcp_servers . 'firecrawl' ]  # added by hand",
           "[\"mcp_servers\".firecrawl]",
           "[mcp_servers]\nfirecrawl = { url = \"x\" }",
           "[mcp_servers]\n\"firecrawl\".url = \"x\"",
           "mcp_servers.firecrawl.url = \"x\"",
           "[mcp_servers.firecrawl.env]\nAPI_KEY = \"x\"",
       }) {
    EXPECT_TRUE(MCPConfigWriter::declaresCodexServer("model = \"o4\"\n" + declared + "\nurl = \"x\"\n", "firecrawl"))
        << declared;
  }
  for (const std::string other : {
           "[mcp_servers.firecrawl-old]",
           "[[mcp_servers.firecrawl]]",
           "# [mcp_servers.firecrawl]",
           "[mcp_servers]\nfirecrawl_url = \"x\"",
           "[\"mcp_servers.firecrawl\"]",
           "[profiles]\nfirecrawl = { url = \"x\" }",
           "[[servers]]\nmcp_servers.firecrawl = 1",
           "[mcp_servers.other]\nurl = \"https://x/firecrawl\"",
       }) {
    EXPECT_FALSE(MCPConfigWriter::declaresCodexServer(other, "firecrawl")) << other;
  }

  fs.makeDirectory("/Users/alice/.codex");
  const std::string quoted = "[mcp_servers.\"firecrawl\"]\nurl = \"https://mcp.firecrawl.dev/v2/mcp\"\n";
  fs.writeFile("/Users/alice/.codex/config.toml", quoted);
  EXPECT_EQ(writer.addToCodex("firecrawl", kFirecrawl),
            (MCPConfigWriter::Outcome{{"firecrawl is already in your Codex config \u2014 left as is."}, true, false}));
  EXPECT_EQ(fs.contents("/Users/alice/.codex/config.toml"), quoted);
}

TEST_F(MCPConfigWriterTest, ACodexConfigThatCannotBeReadIsNotReplaced) {
  fs.makeDirectory("/Users/alice/.codex/config.toml");
  const auto outcome = writer.addToCodex("firecrawl", kFirecrawl);
  EXPECT_TRUE(outcome.failed);
  EXPECT_EQ(outcome.lines,
            std::vector<std::string>{"Couldn't write your Codex config: The file \u201Cconfig.toml\u201D "
                                     "couldn\u2019t be opened because it is a folder."});
  EXPECT_TRUE(fs.directoryExists("/Users/alice/.codex/config.toml"));
}

// The person's TOML is kept byte for byte; the server is appended only when the
// result parses and holds it; otherwise nothing is written and the manual step given.
TEST_F(MCPConfigWriterTest, CodexTomlRoundTrips) {
  fs.makeDirectory("/Users/alice/.codex");
  const std::string table = "[mcp_servers.firecrawl]\nurl = \"https://mcp.firecrawl.dev/v2/mcp\"\n";
  const std::string manualRead =
      "Couldn\u2019t read ~/.codex/config.toml, so firecrawl wasn\u2019t added automatically. You can add it to "
      "that file yourself:  [mcp_servers.firecrawl]  url = \"https://mcp.firecrawl.dev/v2/mcp\"";
  const std::string manualChange =
      "Couldn\u2019t safely change ~/.codex/config.toml, so firecrawl wasn\u2019t added automatically. You can add "
      "it to that file yourself:  [mcp_servers.firecrawl]  url = \"https://mcp.firecrawl.dev/v2/mcp\"";
  struct Case {
    std::string existing;
    std::optional<std::string> manual;  // nothing: the table is appended
  };
  const Case cases[] = {
      // A header inside a multi-line string or a comment is not a table.
      {"notes = \"\"\"\n[mcp_servers.firecrawl]\n\"\"\"\n", std::nullopt},
      {"# [mcp_servers.firecrawl]\r\nmodel = 'o4'   # CRLF and comments stay as they are\r\n", std::nullopt},
      // Servers defined by dotted keys and sub-tables take a new sibling table.
      {"mcp_servers.other.url = \"https://o\"\n", std::nullopt},
      {"[mcp_servers.other]\nurl = \"https://o\"\n[[profiles.list]]\nname = \"x\"", std::nullopt},
      // An inline table cannot be extended by a header; a value or list there clashes.
      {"mcp_servers = { other = { url = \"https://o\" } }\n", manualChange},
      {"mcp_servers = 3\n", manualChange},
      {"[[mcp_servers.firecrawl]]\nurl = \"x\"\n", manualChange},
      // Not TOML at all.
      {"[mcp_servers.other\nurl = \"x\"\n", manualRead},
      {"model = \"\xff\"\n", manualRead},
  };
  for (const Case& c : cases) {
    fs.writeFile("/Users/alice/.codex/config.toml", c.existing, 0644);
    if (fs.fileExists("/Users/alice/.codex/config.toml.bak")) fs.removeItem("/Users/alice/.codex/config.toml.bak");
    const auto outcome = writer.addToCodex("firecrawl", kFirecrawl);
    if (c.manual) {
      EXPECT_EQ(outcome, (MCPConfigWriter::Outcome{{*c.manual}, true, true})) << c.existing;
      EXPECT_EQ(fs.contents("/Users/alice/.codex/config.toml"), c.existing);
      EXPECT_FALSE(fs.fileExists("/Users/alice/.codex/config.toml.bak"));
      continue;
    }
    EXPECT_FALSE(outcome.failed) << c.existing;
    const std::string written = fs.contents("/Users/alice/.codex/config.toml");
    EXPECT_EQ(written, c.existing + std::string(c.existing.back() == '\n' ? "\n" : "\n\n") + table);
    EXPECT_TRUE(MCPConfigWriter::declaresCodexServer(written, "firecrawl")) << written;
    // The second time it is there.
    EXPECT_EQ(writer.addToCodex("firecrawl", kFirecrawl).lines,
              std::vector<std::string>{"firecrawl is already in your Codex config \u2014 left as is."});
  }
  // A slug that is not a bare key is quoted.
  EXPECT_EQ(CodexConfig::serverTable("my server", "u"), "[mcp_servers.\"my server\"]\nurl = \"u\"\n");
}

// Nesting is refused while reading, before it is built; numbers keep their
// written form however many there are.
TEST_F(MCPConfigWriterTest, ClaudeConfigDepthLimitsAndNumbers) {
  fs.makeDirectory("/Users/alice/.claude");
  const std::string manual =
      "Couldn\u2019t read ~/.claude.json, so firecrawl wasn\u2019t added automatically. You can add it with:  "
      "claude mcp add --transport http firecrawl https://mcp.firecrawl.dev/v2/mcp -s user";
  const std::string deep = "{\"projects\":" + std::string(10000, '[') + std::string(10000, ']') + "}";
  fs.writeFile("/Users/alice/.claude.json", deep);
  EXPECT_EQ(writer.addToClaude("firecrawl", kFirecrawl), (MCPConfigWriter::Outcome{{manual}, true, true}));
  EXPECT_EQ(fs.contents("/Users/alice/.claude.json"), deep);

  const std::string fine = "{\"a\":" + std::string(500, '[') + std::string(500, ']') + "}";
  fs.writeFile("/Users/alice/.claude.json", fine);
  EXPECT_FALSE(writer.addToClaude("firecrawl", kFirecrawl).failed);

  std::string numbers = "{\"n\":[";
  for (int i = 0; i < 20000; ++i) numbers += (i ? ",1." : "1.") + std::to_string(i) + "0";
  numbers += "]}";
  fs.writeFile("/Users/alice/.claude.json", numbers);
  EXPECT_FALSE(writer.addToClaude("firecrawl", kFirecrawl).failed);
  const std::string written = fs.contents("/Users/alice/.claude.json");
  EXPECT_NE(written.find("1.00,"), std::string::npos);
  EXPECT_NE(written.find("1.199990"), std::string::npos);
  EXPECT_EQ(written.find("bnch-verbatim-number"), std::string::npos);
}

}  // namespace
}  // namespace bnch
