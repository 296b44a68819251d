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

  // The same filter for output that arrives line by line: each push() appends
  // to `shown` what filter() would show for that line given every line pushed
  // before it. One instance per output; not thread-safe.
  class Incremental {
   public:
    void push(const std::string& line, std::vector<std::string>& shown);

   private:
    bool insideNextSteps_ = false;
    int counter_ = 0;
  };
};

}  // namespace bnch
