#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "engine/telemetry/usage_event_tracking.h"

namespace bnch::testing {

// Records every tracked usage event, in order. Thread-safe.
class RecordingUsageEventTracker final : public UsageEventTracking {
 public:
  struct Tracked {
    std::string name;
    JSONObject data;
    bool operator==(const Tracked&) const = default;
  };

  void track(const std::string& eventName, JSONObject data) override {
    std::lock_guard lock(mutex_);
    events_.push_back({eventName, std::move(data)});
  }

  std::vector<Tracked> events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }

  std::vector<std::string> names() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> result;
    for (const auto& event : events_) result.push_back(event.name);
    return result;
  }

  // The events with this name, in order.
  std::vector<Tracked> named(const std::string& name) const {
    std::lock_guard lock(mutex_);
    std::vector<Tracked> result;
    for (const auto& event : events_) {
      if (event.name == name) result.push_back(event);
    }
    return result;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Tracked> events_;
};

}  // namespace bnch::testing
