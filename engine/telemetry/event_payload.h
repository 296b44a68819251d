#pragma once

#include <string>

#include "engine/telemetry/json_value.h"
#include "engine/telemetry/telemetry_event.h"

namespace bnch {

// The wire form of one event: what the endpoint stores as a record. `runID` is
// the run that sends the event, which for an event kept from an earlier launch
// differs from the run that tracked it.
struct EventPayload {
  std::string sessionID;  // lower case
  std::string runID;      // lower case
  std::string clientTimestamp;
  std::string appVersion;
  std::string appID;
  std::string runContext;
  std::string eventName;
  JSONObject eventData;

  static EventPayload make(const TelemetryEvent& event, const UUID& runID, const std::string& appID,
                           const std::string& runContext);

  // The request body: a JSON list holding exactly this one record, keys in the
  // order "session_id", "run_id", "client_timestamp", "app_version", "app_id",
  // "run_context", "event_name", "event_data"; compact. Never throws.
  std::string requestBody() const;

  bool operator==(const EventPayload&) const = default;
};

}  // namespace bnch
