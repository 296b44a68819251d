// Any text as ~/.codex/config.toml: the server is added only by appending, and
// only when the result parses and holds it; a second addition finds it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/remediation/codex_config.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using bnch::CodexConfig;
  const std::string_view existing(reinterpret_cast<const char*>(data), size);
  constexpr std::string_view url = "https://mcp.firecrawl.dev/fc-\"x\\y/v2/mcp";
  const CodexConfig::Addition addition = CodexConfig::addServer(existing, "firecrawl", url);
  switch (addition.outcome) {
    case CodexConfig::Outcome::added:
      require(addition.contents.starts_with(existing));
      require(CodexConfig::declaresServer(addition.contents, "firecrawl"));
      require(CodexConfig::addServer(addition.contents, "firecrawl", url).outcome ==
              CodexConfig::Outcome::alreadyPresent);
      break;
    case CodexConfig::Outcome::alreadyPresent:
      require(CodexConfig::declaresServer(existing, "firecrawl"));
      break;
    case CodexConfig::Outcome::unreadable:
    case CodexConfig::Outcome::cannotAppend:
      require(addition.contents.empty());
      break;
  }
  return 0;
}
