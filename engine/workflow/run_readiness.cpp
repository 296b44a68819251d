#include "engine/workflow/run_readiness.h"

#include <cmath>
#include <cstdint>

#include "engine/probes/disk_readiness.h"
#include "engine/probes/network_readiness_probe.h"

namespace bnch {

namespace {

std::int64_t gigabytes(std::int64_t bytes) { return std::llround(static_cast<double>(bytes) / 1e9); }

}  // namespace

std::vector<UsageEvent> ReadinessOutcome::events() const {
  std::vector<UsageEvent> events;
  if (network) {
    events.push_back(usage_events::networkCheck(std::string(toString(network->verdict)), network->endpointsReachable,
                                                network->endpointsTotal, network->downMbps,
                                                network->estimatedInstallSeconds));
  }
  if (disk) {
    std::optional<std::int64_t> availableGB;
    if (disk->availableBytes) availableGB = gigabytes(*disk->availableBytes);
    events.push_back(usage_events::diskSpaceCheck(std::string(toString(disk->verdict)), gigabytes(disk->worstCaseBytes),
                                                  gigabytes(disk->headroomBytes), availableGB));
  }
  return events;
}

std::vector<ReadinessWarning> ReadinessOutcome::warnings() const {
  std::vector<ReadinessWarning> warnings;
  if (network && shouldWarn(network->verdict)) warnings.push_back(ReadinessWarning::networkWarning(*network));
  if (disk && shouldWarn(disk->verdict)) warnings.push_back(ReadinessWarning::diskWarning(*disk));
  return warnings;
}

ReadinessOutcome checkReadiness(const AppServices& services, const std::optional<NetworkReadinessConfig>& network,
                                const std::optional<DiskReadinessConfig>& disk) {
  ReadinessOutcome outcome;
  if (network && services.http) outcome.network = NetworkReadinessProbe(*services.http).measure(*network);
  if (disk) {
    std::optional<std::int64_t> available;
    if (services.fs) {
      try {
        available = DiskReadiness::availableBytes(*services.fs, services.fs->homeDirectory());
      } catch (...) {
        available.reset();
      }
    }
    outcome.disk = DiskReadiness::diskResult(available, *disk);
  }
  return outcome;
}

}  // namespace bnch
