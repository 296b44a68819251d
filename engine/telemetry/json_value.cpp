#include <cstdint>
#include <limits>

#include "engine/telemetry/json_conversion.h"
#include "engine/telemetry/json_value.h"

namespace bnch {

namespace json {

namespace {

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

}  // namespace

nlohmann::ordered_json toJSON(const JSONValue& value) {
  return std::visit(Overloaded{
                        [](std::nullptr_t) { return nlohmann::ordered_json(nullptr); },
                        [](bool flag) { return nlohmann::ordered_json(flag); },
                        [](std::int64_t number) { return nlohmann::ordered_json(number); },
                        [](double number) { return nlohmann::ordered_json(number); },
                        [](const std::string& text) { return nlohmann::ordered_json(text); },
                        [](const JSONValue::Array& array) {
                          auto list = nlohmann::ordered_json::array();
                          for (const auto& item : array) list.push_back(toJSON(item));
                          return list;
                        },
                        [](const JSONValue::Object& object) { return toJSON(object); },
                    },
                    value.value);
}

nlohmann::ordered_json toJSON(const JSONObject& object) {
  auto result = nlohmann::ordered_json::object();
  for (const auto& [key, item] : object) result[key] = toJSON(item);
  return result;
}

namespace {

// Deeper values are refused rather than followed: reading, comparing and
// destroying a value recurse once per level, and a damaged or hostile pending
// file must not exhaust a thread's stack (512 KB on a secondary macOS thread).
constexpr int maxNestingDepth = 64;

JSONValue fromJSONAtDepth(const nlohmann::ordered_json& json, int depth) {
  if (json.is_null()) return nullptr;
  if (json.is_boolean()) return json.get<bool>();
  if (json.is_number_integer()) {
    if (json.is_number_unsigned()) {
      auto number = json.get<std::uint64_t>();
      if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return static_cast<double>(number);  // too large for an integer: the next kind that fits
      }
      return static_cast<std::int64_t>(number);
    }
    return json.get<std::int64_t>();
  }
  if (json.is_number_float()) return json.get<double>();
  if (json.is_string()) return json.get<std::string>();
  if ((json.is_object() || json.is_array()) && depth >= maxNestingDepth) {
    throw JSONValueDecodingError("JSON nested more than " + std::to_string(maxNestingDepth) + " levels deep");
  }
  if (json.is_object()) {
    JSONObject object;
    for (const auto& [key, item] : json.items()) object[key] = fromJSONAtDepth(item, depth + 1);
    return object;
  }
  if (json.is_array()) {
    JSONValue::Array array;
    array.reserve(json.size());
    for (const auto& item : json) array.push_back(fromJSONAtDepth(item, depth + 1));
    return array;
  }
  throw JSONValueDecodingError("Unknown JSONValue");
}

}  // namespace

JSONValue fromJSON(const nlohmann::ordered_json& json) { return fromJSONAtDepth(json, 0); }

std::string dump(const nlohmann::ordered_json& json) {
  return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace json

std::string encodeJSON(const JSONValue& value) { return json::dump(json::toJSON(value)); }

JSONValue decodeJSON(std::string_view text) {
  nlohmann::ordered_json parsed;
  try {
    parsed = nlohmann::ordered_json::parse(text);
  } catch (const nlohmann::ordered_json::exception& error) {
    throw JSONValueDecodingError(error.what());
  }
  return json::fromJSON(parsed);
}

}  // namespace bnch
