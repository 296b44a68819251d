#include "engine/probes/probe_text.h"

#include "engine/platform/text.h"
#include "engine/platform/utf8.h"

namespace bnch {
std::string ProbeText::trimSpacesAndTabs(std::string_view text) { return std::string(trimmedOf(text, " \t")); }

std::string ProbeText::trimWhitespace(std::string_view text) { return trimmedText(text); }

std::vector<std::string> ProbeText::nonEmptyLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

bool ProbeText::isFaithful(std::string_view text) {
  constexpr std::string_view replacement = "\xEF\xBF\xBD";  // U+FFFD
  return decodeUtf8Lossy(std::string(text)).find(replacement) == std::string::npos;
}

}  // namespace bnch
