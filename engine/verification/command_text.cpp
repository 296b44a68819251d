#include "engine/verification/command_text.h"

namespace bnch {

namespace {

// Length of the line break that starts at `i`, or 0.
std::size_t lineBreakAt(std::string_view text, std::size_t i) {
  switch (text[i]) {
    case '\n':
    case '\v':
    case '\f':
      return 1;
    case '\r':
      return i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
    default:
      break;
  }
  const std::string_view rest = text.substr(i);
  if (rest.starts_with("\xC2\x85")) return 2;
  if (rest.starts_with("\xE2\x80\xA8") || rest.starts_with("\xE2\x80\xA9")) return 3;
  return 0;
}

bool isBlankAt(std::string_view text, std::size_t i) { return text[i] == ' ' || text[i] == '\t'; }

// Length of the white space or line break that ends at `end` (exclusive), or 0.
std::size_t trailingBreakBefore(std::string_view text, std::size_t end) {
  const char last = text[end - 1];
  if (last == ' ' || last == '\t' || last == '\n' || last == '\v' || last == '\f' || last == '\r') return 1;
  const std::string_view head = text.substr(0, end);
  if (head.ends_with("\xC2\x85")) return 2;
  if (head.ends_with("\xE2\x80\xA8") || head.ends_with("\xE2\x80\xA9")) return 3;
  return 0;
}

}  // namespace

std::string trimmedText(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    if (isBlankAt(text, begin)) {
      ++begin;
    } else if (const std::size_t length = lineBreakAt(text, begin)) {
      begin += length;
    } else {
      break;
    }
  }
  std::size_t end = text.size();
  while (end > begin) {
    const std::size_t length = trailingBreakBefore(text, end);
    if (length == 0 || end - length < begin) break;
    end -= length;
  }
  return std::string(text.substr(begin, end - begin));
}

std::vector<std::string> nonEmptyLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (const std::size_t length = lineBreakAt(text, i)) {
      if (i > start) lines.emplace_back(text.substr(start, i - start));
      i += length;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

ShellOutput runTrimmed(const ShellRunner& shell, const std::string& commandLine) {
  ShellOutput result = shell.run(commandLine);
  result.output = trimmedText(result.output);
  return result;
}

}  // namespace bnch
