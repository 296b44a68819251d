#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bnch {

// One value of a property list. `kind` says which member holds it; dates and
// data keep their element text in `text`.
struct PropertyListValue {
  enum class Kind { string, integer, real, boolean, date, data, array, dictionary };
  Kind kind = Kind::string;
  std::string text;
  std::int64_t integer = 0;
  double real = 0;
  bool boolean = false;
  std::vector<PropertyListValue> array;
  std::vector<std::pair<std::string, PropertyListValue>> dictionary;  // in file order

  // The value of `key` in a dictionary (the last one when a key repeats), or null.
  const PropertyListValue* find(std::string_view key) const;
  // The text of a string value, or null for every other kind.
  const std::string* string() const { return kind == Kind::string ? &text : nullptr; }

  bool operator==(const PropertyListValue&) const = default;
};

// Reads the XML form of a property list (the form Info.plist and
// SystemVersion.plist are usually stored in). Anything else, the binary form
// included, and any malformed document give nothing. Never throws.
struct PropertyList {
  static std::optional<PropertyListValue> parse(std::string_view document);
};

}  // namespace bnch
