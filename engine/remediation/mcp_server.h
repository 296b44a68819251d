#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bnch {

// An MCP server entry written into the agents' configuration files.
struct MCPServer {
  struct Connection {
    enum class Kind { keylessOptionalKey, oauth };
    Kind kind = Kind::oauth;
    std::optional<std::string> keyURLTemplate;  // keylessOptionalKey: "{key}" is replaced by the key

    static Connection keylessOptionalKey(std::optional<std::string> keyURLTemplate) {
      return {Kind::keylessOptionalKey, std::move(keyURLTemplate)};
    }
    static Connection oauth() { return {Kind::oauth, std::nullopt}; }
    bool operator==(const Connection&) const = default;
  };

  std::string slug;
  std::string displayName;
  std::string url;
  std::string summary;
  std::optional<std::string> disclosure;
  Connection connection;

  // The address written into the agents' configurations: with a key that is not
  // empty and a key template, the template with "{key}" replaced by the key;
  // otherwise `url`.
  std::string endpoint(const std::optional<std::string>& apiKey) const;

  // The servers offered, in order.
  static const std::vector<MCPServer>& offered();

  bool operator==(const MCPServer&) const = default;
};

// What adding an MCP server shows.
struct MCPServerText {
  // Stands in for the person's key wherever an address holding it would be shown.
  static constexpr std::string_view keyPlaceholder = "YOUR_API_KEY";
  static constexpr std::string_view keyRejected =
      "That API key doesn't look right — a key holds only letters, digits, and the characters - _ . ~ "
      "(check for a space or a quote copied with it). Nothing was changed.";
  // "For Claude Desktop’s Chat, add NAME under Settings → Connectors — the Code tab already has it."
  static std::string claudeDesktopHint(std::string_view displayName);
  static std::string noAgent(std::string_view displayName);
  static std::string signInToFinish(std::string_view displayName);
};

}  // namespace bnch
