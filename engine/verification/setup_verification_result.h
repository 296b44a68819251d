#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace bnch {

struct SetupVerificationResult {
  std::string rawOutput;
  bool passed = false;
  std::optional<int32_t> exitCode;
  std::optional<std::string> engineOutcome;  // "blocked", "likely_resolved", "unknown"
  std::vector<std::string> verifiedItems;
  std::map<std::string, std::string> details;
  std::vector<std::string> failedChecks;

  bool operator==(const SetupVerificationResult&) const = default;
};

struct OutcomeAuditSection {
  std::string title;
  std::vector<std::string> items;

  bool operator==(const OutcomeAuditSection&) const = default;
};

}  // namespace bnch
