#pragma once

#include <string>
#include <string_view>

namespace bnch {

// Adds an MCP server table to the text of a Codex configuration (TOML) without
// touching what the person wrote: their bytes are kept exactly and the table is
// appended. The text is read with a real TOML parser, so a header inside a
// multi-line string or a comment does not count, and a server defined in any
// form (a table, a sub-table, dotted keys, an inline table) does.
//
// Pure functions of their arguments; safe from any thread.
struct CodexConfig {
  enum class Outcome {
    alreadyPresent,  // mcp_servers.<slug> is defined: nothing to add
    added,           // `contents` is the text with the server appended
    unreadable,      // the existing text is not valid TOML: leave it alone
    cannotAppend,    // appending would not give valid TOML holding the server once
                     // (e.g. `mcp_servers` is an inline table or not a table)
  };
  struct Addition {
    Outcome outcome = Outcome::unreadable;
    std::string contents;  // only for `added`

    bool operator==(const Addition&) const = default;
  };

  // The two lines that define the server, ending with a line feed:
  // `[mcp_servers.<slug>]` and `url = "<url>"` (both quoted as TOML requires).
  static std::string serverTable(std::string_view slug, std::string_view url);

  // The existing text with the server table appended (separated by one line feed
  // after a line end, two otherwise, nothing when empty), checked by parsing the
  // result: it must parse and define mcp_servers.<slug> with exactly this url.
  static Addition addServer(std::string_view existing, std::string_view slug, std::string_view url);

  // True when the text parses and defines mcp_servers.<slug>.
  static bool declaresServer(std::string_view toml, std::string_view slug);
};

}  // namespace bnch
