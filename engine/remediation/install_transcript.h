#pragma once

#include <span>
#include <string>
#include <string_view>

namespace bnch {

// The lower-cased text of an installer's output, each line followed by a line
// feed, in which recoveries look for the substrings that tell what went wrong.
// Lower-casing is ASCII only (the markers are ASCII). Not thread-safe.
class InstallTranscript {
 public:
  void add(std::string_view line);
  const std::string& text() const { return text_; }
  bool contains(std::string_view marker) const { return text_.find(marker) != std::string::npos; }

  static bool containsAny(std::string_view text, std::span<const std::string_view> markers);

 private:
  std::string text_;
};

}  // namespace bnch
