#pragma once

#include <string>
#include <vector>

#include "engine/platform/file_system_operating.h"

namespace bnch {

// Adds an MCP server entry to the configuration of Claude Code (~/.claude.json)
// and of Codex (~/.codex/config.toml), when that agent is on this Mac.
//
// Additive and backed up: an entry that exists is left as it is; before a file
// with contents is changed, "<name>.bak" is replaced with a copy of it; the new
// file replaces the old in one atomic write and gets permissions 600 (the backup
// too: these files hold sign-in tokens). ~/.claude.json is rewritten from its
// parsed form (sorted keys, pretty-printed) with every other value kept; numbers
// keep their exact written form; a document nested deeper than 512 levels counts
// as unreadable. ~/.codex/config.toml keeps the person's text byte for byte and
// gets the server's table appended, checked by parsing the result (see
// CodexConfig). A file that cannot be read or parsed, or a result that would not
// parse, is never written: the person gets the manual step instead (a
// `claude mcp add` line, or the table to add by hand).
//
// Never throws; the file system must outlive the writer.
class MCPConfigWriter {
 public:
  struct Outcome {
    std::vector<std::string> lines;
    bool agentPresent = false;  // the agent is set up, so its file was attempted
    bool failed = false;        // the attempt failed

    bool operator==(const Outcome&) const = default;
  };

  explicit MCPConfigWriter(FileSystemOperating& fs) : fs_(&fs) {}

  Outcome addToClaude(const std::string& slug, const std::string& url) const;
  Outcome addToCodex(const std::string& slug, const std::string& url) const;

  // True when the TOML text already defines the server: the table
  // [mcp_servers.<slug>] or one of its sub-tables, in any spelling TOML allows
  // (quoted parts, spaces around the dots), or keys that define it inline.
  // Appending the table again would make the file invalid for Codex.
  static bool declaresCodexServer(std::string_view toml, std::string_view slug);

 private:
  FileSystemOperating* fs_;
};

}  // namespace bnch
