#include "engine/remediation/homebrew_index_freshness.h"

#include <algorithm>
#include <cstdint>

#include "engine/contracts/homebrew_contract.h"

namespace bnch {

std::optional<double> HomebrewIndexFreshness::age(std::chrono::system_clock::time_point now) const {
  FileAttributes attributes;
  try {
    attributes = fs_->attributesOfItem(fs_->homeDirectory() / HomebrewContract::formulaIndexRelativePath);
  } catch (const FileSystemError&) {
    return std::nullopt;
  }
  if (!attributes.modificationDate) return std::nullopt;
  return std::max(0.0, std::chrono::duration<double>(now - *attributes.modificationDate).count());
}

std::string HomebrewIndexFreshness::ageDescription(double seconds) {
  const auto hours = static_cast<std::int64_t>(seconds / 3600);
  if (hours > 47) return std::to_string(hours / 24) + " days old";
  return std::to_string(hours) + " hours old";
}

std::optional<std::string> HomebrewIndexFreshness::refreshOfferLabel(std::optional<double> age) {
  if (!age || *age < 86400) return std::nullopt;
  return "Update Homebrew's package list first (yours is " + ageDescription(*age) + ")";
}

}  // namespace bnch
