#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace bnch {

// The small text rules the probes share.
struct ProbeText {
  // Trims spaces and tabs only.
  static std::string trimSpacesAndTabs(std::string_view text);
  // Trims white space and line breaks (see trimmedText).
  static std::string trimWhitespace(std::string_view text);
  // Splits at "\n" and drops empty pieces.
  static std::vector<std::string> nonEmptyLines(std::string_view text);
  // False when the text holds bytes that are not UTF-8, or U+FFFD, which the
  // process runner puts in place of such bytes. A program's answer that is not
  // faithful text cannot name a path or a verdict and counts as no answer.
  static bool isFaithful(std::string_view text);
};

}  // namespace bnch
