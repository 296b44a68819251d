#include "engine/platform/text.h"

namespace bnch {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Length of the white space or line break that ends at `end` (exclusive), or 0.
std::size_t trailingBreakBefore(std::string_view text, std::size_t end) {
  const char last = text[end - 1];
  if (isBlank(last) || last == '\n' || last == '\v' || last == '\f' || last == '\r') return 1;
  const std::string_view head = text.substr(0, end);
  if (head.ends_with("\xC2\x85")) return 2;
  if (head.ends_with("\xE2\x80\xA8") || head.ends_with("\xE2\x80\xA9")) return 3;
  return 0;
}

}  // namespace

std::size_t lineBreakLength(std::string_view text, std::size_t i) {
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
  if (rest.starts_with("\xC2\x85")) return 2;                                          // U+0085
  if (rest.starts_with("\xE2\x80\xA8") || rest.starts_with("\xE2\x80\xA9")) return 3;  // U+2028, U+2029
  return 0;
}

std::string_view trimmedView(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    if (isBlank(text[begin])) {
      ++begin;
    } else if (const std::size_t length = lineBreakLength(text, begin)) {
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
  return text.substr(begin, end - begin);
}

std::string trimmedText(std::string_view text) { return std::string(trimmedView(text)); }

std::string_view trimmedOf(std::string_view text, std::string_view characters) {
  const std::size_t first = text.find_first_not_of(characters);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(characters);
  return text.substr(first, last - first + 1);
}

std::vector<std::string> nonEmptyLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (const std::size_t length = lineBreakLength(text, i)) {
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

std::string lowercasedASCII(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

}  // namespace bnch
