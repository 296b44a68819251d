#include "engine/platform/shell_quote.h"

namespace bnch {

std::string shellSingleQuote(std::string_view value) {
  std::string quoted;
  quoted.reserve(value.size() + 2);
  quoted += '\'';
  for (char c : value) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  quoted += '\'';
  return quoted;
}

std::string shellDoubleQuoteEscape(std::string_view value) {
  std::string escaped;
  escaped.reserve(value.size());
  for (char c : value) {
    if (c == '\\' || c == '"' || c == '$' || c == '`') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

}  // namespace bnch
