#include "engine/remediation/codex_config.h"

#include <toml++/toml.h>
#include <cstdio>
#include <optional>

#include "engine/remediation/user_file.h"

namespace bnch {
namespace {

std::string tomlQuoted(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    switch (c) {
      case '"':
        quoted += "\\\"";
        break;
      case '\\':
        quoted += "\\\\";
        break;
      case '\n':
        quoted += "\\n";
        break;
      case '\r':
        quoted += "\\r";
        break;
      case '\t':
        quoted += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
          quoted += escaped;
        } else {
          quoted += c;
        }
    }
  }
  return quoted + "\"";
}

// A key as TOML needs it written: bare when it only holds A-Z a-z 0-9 _ -, else quoted.
std::string tomlKey(std::string_view key) {
  const bool bare = !key.empty() && key.find_first_not_of(
                                        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                        "0123456789_-") == std::string_view::npos;
  return bare ? std::string(key) : tomlQuoted(key);
}

std::optional<toml::table> parsed(std::string_view text) {
#if TOML_EXCEPTIONS
  try {
    return toml::parse(text);
  } catch (const toml::parse_error&) {
    return std::nullopt;
  }
#else
  toml::parse_result result = toml::parse(text);
  if (!result) return std::nullopt;
  return std::move(result).table();
#endif
}

// The server's table in a parsed document, or null.
const toml::table* serverIn(const toml::table& document, std::string_view slug) {
  const toml::table* servers = document["mcp_servers"].as_table();
  return servers == nullptr ? nullptr : (*servers)[slug].as_table();
}

}  // namespace

std::string CodexConfig::serverTable(std::string_view slug, std::string_view url) {
  return "[mcp_servers." + tomlKey(slug) + "]\nurl = " + tomlQuoted(url) + "\n";
}

bool CodexConfig::declaresServer(std::string_view toml, std::string_view slug) {
  const auto document = parsed(toml);
  return document && serverIn(*document, slug) != nullptr;
}

CodexConfig::Addition CodexConfig::addServer(std::string_view existing, std::string_view slug, std::string_view url) {
  const auto document = parsed(existing);
  if (!document) return {Outcome::unreadable, {}};
  if (serverIn(*document, slug) != nullptr) return {Outcome::alreadyPresent, {}};
  // Any other node under that name (an array of tables, a value) would clash.
  if (const auto* servers = (*document)["mcp_servers"].as_table(); servers != nullptr && servers->contains(slug)) {
    return {Outcome::cannotAppend, {}};
  }

  std::string contents(existing);
  contents += user_file::blockSeparator(existing);
  contents += serverTable(slug, url);

  // Appending keeps every earlier key, but the result must still be one valid
  // document that now holds the server with exactly this url (an inline
  // `mcp_servers = {...}` table, for one, cannot be extended by a header).
  const auto result = parsed(contents);
  if (!result) return {Outcome::cannotAppend, {}};
  const toml::table* server = serverIn(*result, slug);
  if (server == nullptr || server->size() != 1 || (*server)["url"].value<std::string_view>() != url) {
    return {Outcome::cannotAppend, {}};
  }
  return {Outcome::added, std::move(contents)};
}

}  // namespace bnch
