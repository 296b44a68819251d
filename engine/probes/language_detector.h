#pragma once

#include <optional>
#include <string>

#include "engine/platform/file_system_operating.h"
#include "engine/probes/bnch_language.h"

namespace bnch {

// What already manages a language on this Mac.
struct LanguageStatus {
  enum class Kind { setUp, managedBy, systemInstall, notInstalled };
  Kind kind = Kind::notInstalled;
  std::string manager;  // for setUp and managedBy

  static LanguageStatus setUp(std::string manager) { return {Kind::setUp, std::move(manager)}; }
  static LanguageStatus managedBy(std::string manager) { return {Kind::managedBy, std::move(manager)}; }
  static LanguageStatus systemInstall() { return {Kind::systemInstall, {}}; }
  static LanguageStatus notInstalled() { return {Kind::notInstalled, {}}; }

  // The line shown beside the language, or nothing for notInstalled.
  std::optional<std::string> statusLine() const;

  bool operator==(const LanguageStatus&) const = default;
};

// Reports, from file checks alone, what already manages each language. `status`
// blocks briefly on the file system, which must outlive the detector.
class LanguageDetector {
 public:
  explicit LanguageDetector(const FileSystemOperating& fs) : fs_(fs) {}

  LanguageStatus status(BNCHLanguage language) const;

 private:
  const FileSystemOperating& fs_;
};

}  // namespace bnch
