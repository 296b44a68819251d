#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bnch {

// Version numbers as they appear in folder names ("3.12", "3.12.4").
struct VersionText {
  // Not empty, begins with a digit, contains ".", and holds only digits and dots.
  static bool isVersionLike(std::string_view text);

  // Numeric order of dot-separated parts: 3.9 < 3.13, 3.13.0 < 3.13.1, 3.13 < 3.13.0.
  // Parts that are not numbers compare as text after all numbers.
  static bool less(std::string_view a, std::string_view b);

  // The highest version among `names` (numeric order; the later of equal ones), or nothing.
  static std::optional<std::string> highest(const std::vector<std::string>& names);
};

}  // namespace bnch
