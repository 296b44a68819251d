#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace bnch {

// A value the user-defaults store can hold.
using StoredValue = std::variant<std::string, bool, std::int64_t, double, std::vector<std::string>>;

// Small persistent settings (the user-defaults store). Reads never fail: a
// missing or mistyped key reads as absent or false. Safe from any thread.
class KeyValueStoring {
 public:
  virtual ~KeyValueStoring() = default;
  virtual std::optional<std::string> string(const std::string& key) const = 0;
  virtual bool boolean(const std::string& key) const = 0;
  // Stores the value; an absent value removes the key.
  virtual void set(const std::optional<StoredValue>& value, const std::string& key) = 0;
};

}  // namespace bnch
