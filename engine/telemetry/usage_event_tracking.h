#pragma once

#include <string>

#include "engine/telemetry/json_value.h"

namespace bnch {

// Where usage events go. `track` queues the event and returns at once; it never
// fails and never waits for delivery. Safe from any thread.
class UsageEventTracking {
 public:
  virtual ~UsageEventTracking() = default;
  virtual void track(const std::string& eventName, JSONObject data) = 0;
};

}  // namespace bnch
