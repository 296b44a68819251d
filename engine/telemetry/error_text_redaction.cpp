#include "engine/telemetry/error_text_redaction.h"

#include <regex>

#include "engine/telemetry/usage_events.h"
#include "engine/telemetry/utf8_text.h"

namespace bnch {

std::string redactedErrorText(const std::vector<std::string>& lines, std::size_t lineCount,
                              std::size_t characterLimit) {
  static const std::regex urlCredentials(R"(([a-zA-Z][a-zA-Z0-9+.\-]*://)[^/@\s]+@)");
  static const std::regex secretParameter(
      R"((access_token|token|api[_-]?key|key|secret|password|passwd|pwd)=[^&\s"']+)",
      std::regex::ECMAScript | std::regex::icase);

  std::size_t first = lines.size() > lineCount ? lines.size() - lineCount : 0;
  std::string text;
  for (std::size_t index = first; index < lines.size(); ++index) {
    if (index > first) text.push_back('\n');
    text += lines[index];
  }
  // Only the end of the text can be sent. Redacting a bounded window keeps the
  // regular expressions fast and their recursion shallow on huge outputs; the
  // window is wide enough that a secret cut at its start ends long before the
  // part that is kept.
  constexpr std::size_t windowSlack = 4096;
  text = utf8::suffix(text, characterLimit + windowSlack);
  text = usage_events::replacingHomeFolder(text);
  text = std::regex_replace(text, urlCredentials, "$1");
  text = std::regex_replace(text, secretParameter, "$1=<redacted>");
  if (utf8::characterCount(text) > characterLimit) text = "…" + utf8::suffix(text, characterLimit);
  return text;
}

}  // namespace bnch
