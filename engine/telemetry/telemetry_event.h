#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "engine/platform/uuid.h"
#include "engine/telemetry/json_value.h"

namespace bnch {

// A usage event as queued and as kept in the pending file: stamped with the
// session and the time at which it was tracked.
struct TelemetryEvent {
  UUID sessionID;
  std::string clientTimestamp;  // ISO 8601 with milliseconds, UTC
  std::string appVersion;
  std::string eventName;
  JSONObject eventData;

  bool operator==(const TelemetryEvent&) const = default;
};

// The pending file's text for a queue: a JSON list of objects with the keys
// "sessionID", "clientTimestamp", "appVersion", "eventName", "eventData".
std::string encodePendingEvents(const std::vector<TelemetryEvent>& events);

// What a pending file held: the events that could be read, in file order, and
// how many entries were skipped because they were not events.
struct DecodedPendingEvents {
  std::vector<TelemetryEvent> events;
  std::size_t skipped = 0;
};

// Reads a pending file's text. Throws JSONValueDecodingError when the text is
// not a JSON list. Each entry is read on its own: an entry that is not a
// well-formed event (missing or mistyped field, a session that is not a UUID,
// data of an unknown kind, bytes that are not UTF-8, nesting deeper than
// maxPendingEventDepth, which is refused before anything of it is built) is
// skipped and counted, so one bad entry never costs the good ones; after a list
// cut short, the entries before the cut are kept. Linear in the text's length.
inline constexpr std::size_t maxPendingEventDepth = 32;
DecodedPendingEvents decodePendingEvents(std::string_view text);

// "2026-03-14T09:26:53.589Z": UTC, milliseconds truncated.
std::string iso8601Timestamp(std::chrono::system_clock::time_point time);

}  // namespace bnch
