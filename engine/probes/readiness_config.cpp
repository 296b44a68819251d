#include "engine/probes/readiness_config.h"

namespace bnch {

NetworkReadinessConfig NetworkReadinessConfig::python() {
  return NetworkReadinessConfig{
      .endpoints = {"https://formulae.brew.sh/api/formula.json",
                    "https://swscan.apple.com/content/catalogs/index.sucatalog", "https://github.com/"},
      .estimatedPayloadBytes = 1'500'000'000,
      .slowThresholdSeconds = 600,
      .maxSampleBytes = 800'000,
      .probeTimeoutSeconds = 3.0,
  };
}

DiskReadinessConfig DiskReadinessConfig::python() {
  return DiskReadinessConfig{
      .worstCaseInstallBytes = 15'000'000'000,
      .freeFloorBytes = 10'000'000'000,
      .criticalFreeBytes = 3'000'000'000,
  };
}

}  // namespace bnch
