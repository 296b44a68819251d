#pragma once

// Conversion between JSONValue and nlohmann's JSON type, for the telemetry
// sources only (nlohmann_json is a private dependency of the engine).

#include <nlohmann/json.hpp>
#include <string>

#include "engine/telemetry/json_value.h"

namespace bnch::json {

nlohmann::ordered_json toJSON(const JSONValue& value);
nlohmann::ordered_json toJSON(const JSONObject& object);

// Throws JSONValueDecodingError: "Unknown JSONValue" for a value of no known
// kind, and for lists and objects nested more than 64 levels deep.
JSONValue fromJSON(const nlohmann::ordered_json& json);

// Compact text; invalid UTF-8 in strings is replaced, never thrown about.
std::string dump(const nlohmann::ordered_json& json);

}  // namespace bnch::json
