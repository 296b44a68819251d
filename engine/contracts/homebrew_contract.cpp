#include "engine/contracts/homebrew_contract.h"

namespace bnch {

std::optional<std::string> HomebrewContract::findBrew(const FileSystemOperating& fs) {
  for (std::string_view location : brewLocations) {
    try {
      if (fs.isExecutableFile(std::string(location))) return std::string(location);
    } catch (const std::exception&) {
      // An unreadable location counts as missing.
    }
  }
  return std::nullopt;
}

std::string HomebrewContract::installFormulaCommand(std::string_view formula) {
  return "brew install " + std::string(formula);
}

std::string HomebrewContract::installCaskCommand(std::string_view cask, bool force) {
  return std::string("brew install --cask ") + (force ? "--force " : "") + std::string(cask);
}

std::string HomebrewContract::reinstallCaskCommand(std::string_view cask) {
  return "brew reinstall --cask " + std::string(cask);
}

}  // namespace bnch
