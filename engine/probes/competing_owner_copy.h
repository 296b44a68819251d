#pragma once

#include <optional>
#include <string>

namespace bnch {

// The fixed texts shown when another manager (conda, pyenv, asdf, rye) owns the
// python command. Thread-safe: the tables are built once and shared.
struct CompetingOwnerCopy {
  struct Copy {
    std::string owner;
    std::string headline;
    std::string openingLine;
    std::string ownershipLine;
    std::string recommendation;
    std::optional<std::string> uninstallLink;  // an article URL, for pyenv and rye

    bool operator==(const Copy&) const = default;
  };

  // The texts for an owner name; nothing for an owner without them ("uv", "homebrew", ...).
  static std::optional<Copy> copy(const std::string& owner);
};

}  // namespace bnch
