#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/probes/readiness_result.h"
#include "engine/probes/readiness_screen_copy.h"
#include "engine/remediation/setup_remediation.h"

namespace bnch {

// A readiness check that calls for a warning before anything is installed.
struct ReadinessWarning {
  enum class Kind { network, disk, outdatedMacOS };
  Kind kind = Kind::network;
  NetworkReadinessResult network;  // network
  DiskReadinessResult disk;        // disk
  int major = 0;                   // outdatedMacOS: the Mac's macOS major version

  static ReadinessWarning networkWarning(NetworkReadinessResult result) {
    ReadinessWarning warning;
    warning.kind = Kind::network;
    warning.network = std::move(result);
    return warning;
  }
  static ReadinessWarning diskWarning(DiskReadinessResult result) {
    ReadinessWarning warning;
    warning.kind = Kind::disk;
    warning.disk = std::move(result);
    return warning;
  }
  static ReadinessWarning outdatedMacOS(int major) {
    ReadinessWarning warning;
    warning.kind = Kind::outdatedMacOS;
    warning.major = major;
    return warning;
  }

  // The texts of the warning screen.
  ReadinessScreenCopy screenCopy() const;

  bool operator==(const ReadinessWarning&) const = default;
};

// What the workflow screen shows. A tagged value: `kind` says which case; only
// that case's payload is meaningful (the others keep their defaults).
struct Step {
  enum class Kind {
    readinessWarning,
    postDiagnosisDecline,
    stage,
    loading,
    experienceQuestion,
    diagnosisSummary,
    interstitial,
    verifying,
    keepGoingGate,
    outcome,
    satisfaction,
  };
  Kind kind = Kind::loading;
  ReadinessWarning warning;  // readinessWarning
  std::string name;          // postDiagnosisDecline: the owner; stage: the domain

  static Step readiness(ReadinessWarning warning) { return {Kind::readinessWarning, std::move(warning), {}}; }
  static Step decline(std::string owner) { return {Kind::postDiagnosisDecline, {}, std::move(owner)}; }
  static Step stage(std::string domain) { return {Kind::stage, {}, std::move(domain)}; }
  static Step of(Kind kind) { return {kind, {}, {}}; }

  bool operator==(const Step&) const = default;
};

// "stage:python", "diagnosisSummary", "readinessWarning:disk", ... for logs and tests.
std::string describe(const Step& step);

// The install the user approved, handed to the progress screen.
struct PendingInstall {
  std::string id;  // the stage's domain
  std::string title;
  std::vector<SetupRemediation> remediations;
  bool continuesPastFailure = false;

  bool operator==(const PendingInstall&) const = default;
};

}  // namespace bnch
