#include "engine/remediation/install_transcript.h"

#include <algorithm>

namespace bnch {

void InstallTranscript::add(std::string_view line) {
  for (const char c : line) text_ += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  text_ += '\n';
}

bool InstallTranscript::containsAny(std::string_view text, std::span<const std::string_view> markers) {
  return std::any_of(markers.begin(), markers.end(),
                     [text](std::string_view marker) { return text.find(marker) != std::string_view::npos; });
}

}  // namespace bnch
