#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace bnch {

enum class NetworkVerdict { ok, slow, unreachable, unmeasured };
enum class DiskVerdict { ok, low, critical, unmeasured };

std::string_view toString(NetworkVerdict verdict);  // "ok", "slow", "unreachable", "unmeasured"
std::string_view toString(DiskVerdict verdict);     // "ok", "low", "critical", "unmeasured"

struct NetworkReadinessResult {
  NetworkVerdict verdict = NetworkVerdict::unmeasured;
  std::optional<double> downMbps;  // megabits per second
  std::optional<int> estimatedInstallSeconds;
  int endpointsReachable = 0;
  int endpointsTotal = 0;

  bool operator==(const NetworkReadinessResult&) const = default;
};

struct DiskReadinessResult {
  DiskVerdict verdict = DiskVerdict::unmeasured;
  std::optional<std::int64_t> availableBytes;
  std::int64_t worstCaseBytes = 0;
  std::int64_t headroomBytes = 0;

  bool operator==(const DiskReadinessResult&) const = default;
};

// A warning screen is shown for slow or unreachable networks and low or critical
// disks; a failed measurement (`unmeasured`) never warns.
bool shouldWarn(NetworkVerdict verdict);
bool shouldWarn(DiskVerdict verdict);

}  // namespace bnch
