#include "engine/probes/disk_readiness.h"

#include <exception>

namespace bnch {

std::optional<std::int64_t> DiskReadiness::availableBytes(const FileSystemOperating& fs,
                                                          const std::filesystem::path& path) {
  try {
    return fs.volumeAvailableCapacity(path);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

DiskReadinessResult DiskReadiness::diskResult(std::optional<std::int64_t> available,
                                              const DiskReadinessConfig& config) {
  DiskReadinessResult result{DiskVerdict::unmeasured, available, config.worstCaseInstallBytes, config.freeFloorBytes};
  if (!available) return result;
  if (*available < config.criticalFreeBytes) {
    result.verdict = DiskVerdict::critical;
  } else if (*available < config.worstCaseInstallBytes + config.freeFloorBytes) {
    result.verdict = DiskVerdict::low;
  } else {
    result.verdict = DiskVerdict::ok;
  }
  return result;
}

}  // namespace bnch
