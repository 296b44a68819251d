#include "engine/platform/apple_script.h"

namespace bnch {

std::string appleScriptEscape(std::string_view value) {
  std::string escaped;
  escaped.reserve(value.size() + 8);
  for (const char c : value) {
    switch (c) {
      case '\\':
        escaped += "\\\\";
        break;
      case '"':
        escaped += "\\\"";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\r':
        escaped += "\\r";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string appleScriptString(std::string_view value) { return "\"" + appleScriptEscape(value) + "\""; }

}  // namespace bnch
