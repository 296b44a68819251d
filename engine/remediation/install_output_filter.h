#pragma once

#include <string>
#include <vector>

namespace bnch {

// Cleans installer output before the progress screen shows it: drops Homebrew's
// "==> Next steps:" block (its indented instructions and documentation link) and
// system-log noise lines, and adds a reassurance after Homebrew's warning about
// an older macOS. Pure; thread-safe.
struct InstallOutputFilter {
  static constexpr const char* oldMacOSNote =
      "Note: that Homebrew message is about macOS 13 being an older version. It is not an error — the install "
      "continues normally.";

  static std::vector<std::string> filter(const std::vector<std::string>& lines);
};

}  // namespace bnch
