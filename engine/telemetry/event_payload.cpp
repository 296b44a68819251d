#include "engine/telemetry/event_payload.h"

#include "engine/telemetry/json_conversion.h"

namespace bnch {

EventPayload EventPayload::make(const TelemetryEvent& event, const UUID& runID, const std::string& appID,
                                const std::string& runContext) {
  return EventPayload{
      .sessionID = event.sessionID.lowercaseString(),
      .runID = runID.lowercaseString(),
      .clientTimestamp = event.clientTimestamp,
      .appVersion = event.appVersion,
      .appID = appID,
      .runContext = runContext,
      .eventName = event.eventName,
      .eventData = event.eventData,
  };
}

std::string EventPayload::requestBody() const {
  nlohmann::ordered_json record;
  record["session_id"] = sessionID;
  record["run_id"] = runID;
  record["client_timestamp"] = clientTimestamp;
  record["app_version"] = appVersion;
  record["app_id"] = appID;
  record["run_context"] = runContext;
  record["event_name"] = eventName;
  record["event_data"] = json::toJSON(eventData);
  auto body = nlohmann::ordered_json::array();
  body.push_back(std::move(record));
  return json::dump(body);
}

}  // namespace bnch
