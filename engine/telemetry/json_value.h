#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace bnch {

// The integer types a JSONValue takes as an integer (not bool or char).
template <class T>
concept JSONInteger = std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char>;

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
  // Every other integer type (long, long long, std::size_t, ...): std::int64_t
  // is `long` on some systems and `long long` on others.
  template <JSONInteger Integer>
  JSONValue(Integer number) : value(static_cast<std::int64_t>(number)) {}
  JSONValue(double number) : value(number) {}
  JSONValue(const char* text) : value(std::string(text)) {}
  JSONValue(std::string text) : value(std::move(text)) {}
  JSONValue(Array array) : value(std::move(array)) {}
  JSONValue(Object object) : value(std::move(object)) {}

  bool isNull() const { return std::holds_alternative<std::nullptr_t>(value); }
  bool operator==(const JSONValue&) const = default;
};

using JSONObject = JSONValue::Object;

// Thrown when JSON text cannot be read as a JSONValue: the text is not JSON
// (the parser's description), a value fits none of the kinds ("Unknown JSONValue"),
// or values are nested too deeply.
class JSONValueDecodingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The plain JSON text of the value: compact, object keys in their map order,
// invalid UTF-8 in texts replaced by U+FFFD. Never throws.
std::string encodeJSON(const JSONValue& value);

// Reads JSON text. Each value is taken as the first kind that fits, in the order
// null, boolean, integer (signed 64-bit), floating point, text, object, list; a
// number written with a fraction or exponent stays floating point, so encoded
// values read back equal. Lists and objects nested more than 64 levels deep are
// refused. Throws JSONValueDecodingError.
JSONValue decodeJSON(std::string_view text);

}  // namespace bnch
