#include "engine/remediation/mcp_server.h"

namespace bnch {

std::string MCPServer::endpoint(const std::optional<std::string>& apiKey) const {
  if (connection.kind != Connection::Kind::keylessOptionalKey || !connection.keyURLTemplate || !apiKey ||
      apiKey->empty()) {
    return url;
  }
  std::string address = *connection.keyURLTemplate;
  constexpr std::string_view placeholder = "{key}";
  for (auto at = address.find(placeholder); at != std::string::npos;
       at = address.find(placeholder, at + apiKey->size())) {
    address.replace(at, placeholder.size(), *apiKey);
  }
  return address;
}

const std::vector<MCPServer>& MCPServer::offered() {
  static const std::vector<MCPServer> servers{
      {
          .slug = "firecrawl",
          .displayName = "Firecrawl",
          .url = "https://mcp.firecrawl.dev/v2/mcp",
          .summary = "Better web search than built-in agent web searches",
          .disclosure = std::nullopt,
          .connection = Connection::keylessOptionalKey("https://mcp.firecrawl.dev/{key}/v2/mcp"),
      },
      {
          .slug = "notion",
          .displayName = "Notion",
          .url = "https://mcp.notion.com/mcp",
          .summary = "Connect Notion, the popular workplace productivity app. Sign-in required.",
          .disclosure = std::nullopt,
          .connection = Connection::oauth(),
      },
      {
          .slug = "slack",
          .displayName = "Slack",
          .url = "https://mcp.slack.com/mcp",
          .summary = "Connect Slack, the popular workplace messaging app. Sign-in required.",
          .disclosure = std::nullopt,
          .connection = Connection::oauth(),
      },
  };
  return servers;
}

std::string MCPServerText::claudeDesktopHint(std::string_view displayName) {
  return "For Claude Desktop\u2019s Chat, add " + std::string(displayName) +
         " under Settings \u2192 Connectors \u2014 the Code tab already has it.";
}

std::string MCPServerText::noAgent(std::string_view displayName) {
  return "No AI agent is set up yet \u2014 nothing to configure " + std::string(displayName) + " for.";
}

std::string MCPServerText::signInToFinish(std::string_view displayName) {
  return "Sign in to " + std::string(displayName) + " inside Claude or Codex, then restart it to finish.";
}

}  // namespace bnch
