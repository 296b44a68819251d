#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/probes/readiness_result.h"

namespace bnch {

// The texts of a readiness warning screen. Every word the person sees on these
// screens is built here.
struct ReadinessScreenCopy {
  std::string windowTitle;
  std::string headline;
  std::string body;
  std::string continueLabel;
  std::string stopLabel;

  // `unreachable` has its own texts; any other verdict uses the slow texts, with
  // the estimate in whole minutes (10 when there is none, at least 1).
  static ReadinessScreenCopy networkCopy(NetworkVerdict verdict, std::optional<int> estimatedInstallSeconds);
  // `critical` has its own texts; any other verdict uses the low texts, with
  // gigabytes rounded (at least 1; "a few"/"a little" when the space is unknown).
  static ReadinessScreenCopy diskCopy(DiskVerdict verdict, std::optional<std::int64_t> availableBytes,
                                      std::int64_t worstCaseBytes);
  static ReadinessScreenCopy macOSCopy(int major);

  bool operator==(const ReadinessScreenCopy&) const = default;
};

}  // namespace bnch
