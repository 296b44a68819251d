#include "engine/probes/readiness_screen_copy.h"

#include <algorithm>
#include <cmath>

namespace bnch {
namespace {

// value / unit rounded to the nearest whole number, at least 1.
long long roundedAtLeastOne(double value, double unit) { return std::max(1LL, std::llround(value / unit)); }

}  // namespace

ReadinessScreenCopy ReadinessScreenCopy::networkCopy(NetworkVerdict verdict,
                                                     std::optional<int> estimatedInstallSeconds) {
  if (verdict == NetworkVerdict::unreachable) {
    return {"Your connection", "We can't reach the servers needed to install",
            "The Apple and Homebrew download servers aren't responding right now. You can still try, but it may "
            "fail partway. Checking your internet connection first is recommended.",
            "Continue now", "Stop and try later"};
  }
  const long long minutes = estimatedInstallSeconds ? roundedAtLeastOne(*estimatedInstallSeconds, 60) : 10;
  return {"Your connection", "Slow Internet Connection",
          "Setting up your Mac downloads several hundred megabytes from Apple and Homebrew. On this connection that "
          "will take about " +
              std::to_string(minutes) +
              " minutes. You can continue now, or stop and try again later when your connection is faster. Nothing "
              "has changed on your Mac yet.",
          "Continue now", "Stop and try later"};
}

ReadinessScreenCopy ReadinessScreenCopy::diskCopy(DiskVerdict verdict, std::optional<std::int64_t> availableBytes,
                                                  std::int64_t worstCaseBytes) {
  constexpr double gigabyte = 1'000'000'000.0;
  const auto free = [&](const char* unknown) {
    return availableBytes ? std::to_string(roundedAtLeastOne(static_cast<double>(*availableBytes), gigabyte))
                          : std::string(unknown);
  };
  if (verdict == DiskVerdict::critical) {
    return {"Your disk space", "Your Mac is almost out of space",
            "Your Mac has only about " + free("a few") +
                " GB free. Installing new software now is likely to fail partway and may leave your Mac unstable. "
                "Freeing up space first is strongly recommended.",
            "Continue anyway", "Stop and free up space"};
  }
  const std::string worst = std::to_string(roundedAtLeastOne(static_cast<double>(worstCaseBytes), gigabyte));
  return {"Your disk space", "Low on disk space",
          "Setting up your Mac can add up to about " + worst +
              " GB if you install everything we recommend. Your Mac has about " + free("a little") +
              " GB free right now. You can continue and choose fewer items, free up some space first, or stop and "
              "come back later. Nothing has changed on your Mac yet.",
          "Continue anyway", "Stop and free up space"};
}

ReadinessScreenCopy ReadinessScreenCopy::macOSCopy(int major) {
  return {"Your macOS version", "This Mac is running an older macOS",
          "macOS " + std::to_string(major) +
              " is old enough that the tools we install no longer ship prebuilt packages for it. They can still be "
              "installed, but each one has to be built from source, which is much slower and sometimes fails. "
              "Updating macOS first is recommended if you can. Nothing has changed on your Mac yet.",
          "Continue anyway", "Stop and update macOS"};
}

}  // namespace bnch
