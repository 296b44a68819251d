#include "engine/telemetry/error_text_redaction.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "engine/platform/utf8.h"
#include "engine/telemetry/usage_events.h"

namespace bnch {

namespace {

// The scans below do what these regular expressions describe, in linear time
// (a backtracking engine takes quadratic time on long runs of letters):
//   ([a-zA-Z][a-zA-Z0-9+.\-]*://)[^/@\s]+@   ->  $1
//   (?i)(access_token|token|api[_-]?key|key|secret|password|passwd|pwd)=[^&\s"']+  ->  $1=<redacted>

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isSchemeCharacter(char c) { return isLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '.' || c == '-'; }

// Drops "user:password@" after every "scheme://".
std::string withoutURLCredentials(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  std::size_t copied = 0;
  std::size_t search = 0;
  while ((search = text.find("://", search)) != std::string_view::npos) {
    std::size_t schemeStart = search;
    bool hasLetter = false;
    while (schemeStart > 0 && isSchemeCharacter(text[schemeStart - 1])) {
      --schemeStart;
      hasLetter = hasLetter || isLetter(text[schemeStart]);
    }
    std::size_t userStart = search + 3;
    std::size_t userEnd = userStart;
    while (userEnd < text.size() && text[userEnd] != '/' && text[userEnd] != '@' && !isSpace(text[userEnd])) ++userEnd;
    if (hasLetter && userEnd > userStart && userEnd < text.size() && text[userEnd] == '@') {
      result.append(text.substr(copied, userStart - copied));
      copied = userEnd + 1;
      search = copied;
    } else {
      search = userStart;
    }
  }
  result.append(text.substr(copied));
  return result;
}

bool endsWithNameIgnoringCase(std::string_view text, std::string_view name) {
  if (text.size() < name.size()) return false;
  auto tail = text.substr(text.size() - name.size());
  return std::equal(tail.begin(), tail.end(), name.begin(),
                    [](char a, char b) { return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b; });
}

// Replaces the value after "token=", "api_key=", "password=" and the like.
std::string withoutSecretValues(std::string_view text) {
  // Every name of the pattern ends with one of these.
  constexpr std::array<std::string_view, 6> nameEndings{"token", "key", "secret", "password", "passwd", "pwd"};
  auto endsValue = [](char c) { return c == '&' || c == '"' || c == '\'' || isSpace(c); };
  std::string result;
  result.reserve(text.size());
  std::size_t copied = 0;
  std::size_t search = 0;
  while ((search = text.find('=', search)) != std::string_view::npos) {
    std::size_t valueStart = search + 1;
    std::size_t valueEnd = valueStart;
    while (valueEnd < text.size() && !endsValue(text[valueEnd])) ++valueEnd;
    auto before = text.substr(copied, search - copied);
    bool isSecret = valueEnd > valueStart && std::any_of(nameEndings.begin(), nameEndings.end(), [&](auto name) {
                      return endsWithNameIgnoringCase(before, name);
                    });
    if (isSecret) {
      result.append(before);
      result.append("=<redacted>");
      copied = valueEnd;
      search = valueEnd;
    } else {
      search = valueStart;
    }
  }
  result.append(text.substr(copied));
  return result;
}

}  // namespace

std::string redactedErrorText(const std::vector<std::string>& lines, std::size_t lineCount,
                              std::size_t characterLimit) {
  std::size_t first = lines.size() > lineCount ? lines.size() - lineCount : 0;
  std::string text;
  for (std::size_t index = first; index < lines.size(); ++index) {
    if (index > first) text.push_back('\n');
    text += lines[index];
  }
  text = usage_events::replacingHomeFolder(text);
  text = withoutURLCredentials(text);
  text = withoutSecretValues(text);
  if (utf8::characterCount(text) > characterLimit) text = "…" + utf8::suffix(text, characterLimit);
  return text;
}

}  // namespace bnch
