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

  // The Python product's values: three download servers, 1.5 GB, 600 s, 800 kB, 3 s.
  static NetworkReadinessConfig python();

  bool operator==(const NetworkReadinessConfig&) const = default;
};

struct DiskReadinessConfig {
  std::int64_t worstCaseInstallBytes = 0;
  std::int64_t freeFloorBytes = 0;
  std::int64_t criticalFreeBytes = 0;

  // The Python product's values: 15 GB worst case, 10 GB floor, 3 GB critical.
  static DiskReadinessConfig python();

  bool operator==(const DiskReadinessConfig&) const = default;
};

}  // namespace bnch
