#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "engine/platform/file_system_operating.h"
#include "engine/probes/readiness_config.h"
#include "engine/probes/readiness_result.h"

namespace bnch {

// Whether the disk has room for a setup. Synchronous and cheap.
struct DiskReadiness {
  // Free bytes of the volume holding `path` (the plain available capacity), or nothing.
  static std::optional<std::int64_t> availableBytes(const FileSystemOperating& fs, const std::filesystem::path& path);
  // Absent: unmeasured; below the critical floor: critical; below worst case plus
  // floor: low; otherwise ok.
  static DiskReadinessResult diskResult(std::optional<std::int64_t> available, const DiskReadinessConfig& config);
};

}  // namespace bnch
