#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bnch {

struct NetworkReadinessConfig {
  std::vector<std::string> endpoints;
  std::int64_t estimatedPayloadBytes = 0;
  int slowThresholdSeconds = 0;
  std::int64_t maxSampleBytes = 0;
  double probeTimeoutSeconds = 0;

  bool operator==(const NetworkReadinessConfig&) const = default;
};

struct DiskReadinessConfig {
  std::int64_t worstCaseInstallBytes = 0;
  std::int64_t freeFloorBytes = 0;
  std::int64_t criticalFreeBytes = 0;

  bool operator==(const DiskReadinessConfig&) const = default;
};

}  // namespace bnch
