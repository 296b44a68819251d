#include "engine/telemetry/telemetry_event.h"

#include <cstdio>
#include <ctime>

#include "engine/telemetry/json_conversion.h"

namespace bnch {

namespace {

nlohmann::ordered_json toJSON(const TelemetryEvent& event) {
  nlohmann::ordered_json json;
  json["sessionID"] = event.sessionID.uuidString();
  json["clientTimestamp"] = event.clientTimestamp;
  json["appVersion"] = event.appVersion;
  json["eventName"] = event.eventName;
  json["eventData"] = json::toJSON(event.eventData);
  return json;
}

// Throws for anything that is not a well-formed event.
TelemetryEvent fromJSON(const nlohmann::ordered_json& json) {
  if (!json.is_object()) throw JSONValueDecodingError("not an object");
  auto session = UUID::parse(json.at("sessionID").get<std::string>());
  if (!session) throw JSONValueDecodingError("sessionID is not a UUID");
  JSONValue data = json::fromJSON(json.at("eventData"));
  auto* object = std::get_if<JSONObject>(&data.value);
  if (!object) throw JSONValueDecodingError("eventData is not an object");
  return TelemetryEvent{
      .sessionID = *session,
      .clientTimestamp = json.at("clientTimestamp").get<std::string>(),
      .appVersion = json.at("appVersion").get<std::string>(),
      .eventName = json.at("eventName").get<std::string>(),
      .eventData = std::move(*object),
  };
}

}  // namespace

std::string encodePendingEvents(const std::vector<TelemetryEvent>& events) {
  auto list = nlohmann::ordered_json::array();
  for (const auto& event : events) list.push_back(toJSON(event));
  return json::dump(list);
}

DecodedPendingEvents decodePendingEvents(std::string_view text) {
  nlohmann::ordered_json parsed;
  try {
    parsed = nlohmann::ordered_json::parse(text);
  } catch (const nlohmann::ordered_json::exception& error) {
    throw JSONValueDecodingError(error.what());
  }
  if (!parsed.is_array()) throw JSONValueDecodingError("The pending events are not a list.");
  DecodedPendingEvents decoded;
  for (const auto& entry : parsed) {
    try {
      decoded.events.push_back(fromJSON(entry));
    } catch (const std::exception&) {
      ++decoded.skipped;
    }
  }
  return decoded;
}

std::string iso8601Timestamp(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  auto milliseconds = floor<std::chrono::milliseconds>(time);
  auto seconds = floor<std::chrono::seconds>(milliseconds);
  std::time_t whole = system_clock::to_time_t(system_clock::time_point(seconds));
  std::tm parts{};
  gmtime_r(&whole, &parts);
  char buffer[40];
  std::size_t length = std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", &parts);
  auto fraction = (milliseconds - seconds).count();
  char millis[8];
  std::snprintf(millis, sizeof millis, ".%03dZ", static_cast<int>(fraction));
  return std::string(buffer, length) + millis;
}

}  // namespace bnch
