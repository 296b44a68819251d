#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/telemetry/usage_event_tracking.h"

namespace bnch::testing {

// A usage-event tracker that keeps every event it is given, in order.
// Safe from any thread.
class RecordingEventTracker final : public UsageEventTracking {
 public:
  struct Event {
    std::string name;
    JSONObject data;
    bool operator==(const Event&) const = default;
  };

  void track(const std::string& eventName, JSONObject data) override;

  std::vector<Event> events() const;
  std::vector<std::string> names() const;
  // The data of the first event with that name, or nothing.
  std::optional<JSONObject> first(const std::string& eventName) const;
  int count(const std::string& eventName) const;
  void clear();

 private:
  mutable std::mutex mutex_;
  std::vector<Event> events_;
};

}  // namespace bnch::testing
