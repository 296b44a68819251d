#include "engine/probes/readiness_result.h"

namespace bnch {

std::string_view toString(NetworkVerdict verdict) {
  switch (verdict) {
    case NetworkVerdict::ok:
      return "ok";
    case NetworkVerdict::slow:
      return "slow";
    case NetworkVerdict::unreachable:
      return "unreachable";
    case NetworkVerdict::unmeasured:
      return "unmeasured";
  }
  return "unmeasured";
}

std::string_view toString(DiskVerdict verdict) {
  switch (verdict) {
    case DiskVerdict::ok:
      return "ok";
    case DiskVerdict::low:
      return "low";
    case DiskVerdict::critical:
      return "critical";
    case DiskVerdict::unmeasured:
      return "unmeasured";
  }
  return "unmeasured";
}

bool shouldWarn(NetworkVerdict verdict) {
  return verdict == NetworkVerdict::slow || verdict == NetworkVerdict::unreachable;
}

bool shouldWarn(DiskVerdict verdict) { return verdict == DiskVerdict::low || verdict == DiskVerdict::critical; }

}  // namespace bnch
