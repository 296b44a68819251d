#include "engine/telemetry/telemetry_event.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>

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

namespace {

bool isJSONSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Splits a JSON list into the texts of its entries without parsing them, so that
// each can be read (or refused) alone. Tracks strings and nesting only; an entry
// nested deeper than `maxDepth` is reported as empty text. Stops at the end of the
// list or where the text is cut short.
class ListEntries {
 public:
  ListEntries(std::string_view text, std::size_t maxDepth) : text_(text), maxDepth_(maxDepth) {
    skipSpace();
    if (position_ >= text_.size() || text_[position_] != '[') {
      throw JSONValueDecodingError("The pending events are not a list.");
    }
    ++position_;
    skipSpace();
    if (position_ < text_.size() && text_[position_] == ']') ended_ = true;
  }

  // The next entry's text (empty when too deep or cut short), or nothing at the end.
  std::optional<std::string_view> next() {
    if (ended_ || position_ >= text_.size()) return std::nullopt;
    const std::size_t start = position_;
    std::size_t depth = 0;
    std::size_t deepest = 0;
    bool inString = false;
    for (; position_ < text_.size(); ++position_) {
      const char c = text_[position_];
      if (inString) {
        if (c == '\\') {
          ++position_;
        } else if (c == '"') {
          inString = false;
        }
        continue;
      }
      if (c == '"') {
        inString = true;
      } else if (c == '[' || c == '{') {
        deepest = std::max(deepest, ++depth);
      } else if (c == ']' || c == '}') {
        if (depth == 0) break;  // the list's own end
        --depth;
      } else if (c == ',' && depth == 0) {
        break;
      }
    }
    if (position_ >= text_.size()) {  // cut short: this entry is incomplete, and the last
      ended_ = true;
      return std::string_view();
    }
    const std::string_view entry = text_.substr(start, position_ - start);
    ended_ = text_[position_] != ',';
    ++position_;
    skipSpace();
    return deepest > maxDepth_ ? std::string_view() : entry;
  }

 private:
  void skipSpace() {
    while (position_ < text_.size() && isJSONSpace(text_[position_])) ++position_;
  }

  std::string_view text_;
  std::size_t maxDepth_;
  std::size_t position_ = 0;
  bool ended_ = false;
};

}  // namespace

DecodedPendingEvents decodePendingEvents(std::string_view text) {
  DecodedPendingEvents decoded;
  ListEntries entries(text, maxPendingEventDepth);
  while (auto entry = entries.next()) {
    try {
      if (entry->empty()) throw JSONValueDecodingError("too deep");
      decoded.events.push_back(fromJSON(nlohmann::ordered_json::parse(*entry)));
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
