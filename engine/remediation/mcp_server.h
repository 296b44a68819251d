#pragma once

#include <optional>
#include <string>
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

}  // namespace bnch
