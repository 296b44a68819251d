#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/platform/file_system_operating.h"

namespace bnch {

// How old Homebrew's saved package list is, so the workflow can offer
// `brew update` first. A value; thread-safe.
class HomebrewIndexFreshness {
 public:
  explicit HomebrewIndexFreshness(std::shared_ptr<FileSystemOperating> fs) : fs_(std::move(fs)) {}

  // Seconds since ~/Library/Caches/Homebrew/api/formula.jws.json was modified;
  // absent when the file or its date cannot be read. A date in the future counts
  // as age 0.
  std::optional<double> age(std::chrono::system_clock::time_point now) const;

  // "47 hours old", "2 days old": whole hours, or whole days above 47 hours.
  static std::string ageDescription(double seconds);
  // The pre-ticked refresh choice's label when the age is known and at least a
  // day: "Update Homebrew's package list first (yours is 2 days old)".
  static std::optional<std::string> refreshOfferLabel(std::optional<double> age);

  static constexpr std::string_view refreshChoiceID = "refresh-brew-index";
  static constexpr std::string_view refreshExplanation =
      "Homebrew installs whatever its saved package list knows about. An old list can install an old Python.";

 private:
  std::shared_ptr<FileSystemOperating> fs_;
};

}  // namespace bnch
