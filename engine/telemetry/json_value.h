#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace bnch {

// A value of usage-event data: null, boolean, integer, floating point, text,
// list or object. Equal when kind and payload are equal.
struct JSONValue {
  using Array = std::vector<JSONValue>;
  using Object = std::map<std::string, JSONValue>;

  std::variant<std::nullptr_t, bool, std::int64_t, double, std::string, Array, Object> value;

  JSONValue() : value(nullptr) {}
  JSONValue(std::nullptr_t) : value(nullptr) {}
  JSONValue(bool flag) : value(flag) {}
  JSONValue(int number) : value(static_cast<std::int64_t>(number)) {}
  JSONValue(std::int64_t number) : value(number) {}
  JSONValue(double number) : value(number) {}
  JSONValue(const char* text) : value(std::string(text)) {}
  JSONValue(std::string text) : value(std::move(text)) {}
  JSONValue(Array array) : value(std::move(array)) {}
  JSONValue(Object object) : value(std::move(object)) {}

  bool isNull() const { return std::holds_alternative<std::nullptr_t>(value); }
  bool operator==(const JSONValue&) const = default;
};

using JSONObject = JSONValue::Object;

}  // namespace bnch
