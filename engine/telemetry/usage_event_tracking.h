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
  // A value the person typed in this run (an API key, the Git e-mail): whoever
  // takes one from the person hands it here, and no later event carries it.
  virtual void rememberTypedValue(const std::string& value) { (void)value; }
};

}  // namespace bnch
