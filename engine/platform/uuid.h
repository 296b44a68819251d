#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace bnch {

// A random (version 4) UUID. Its standard text form is upper-case hex in the
// 8-4-4-4-12 layout; parsing accepts either case. A plain value.
struct UUID {
  std::array<std::uint8_t, 16> bytes{};

  // A fresh random identity (from the system's cryptographic random source).
  static UUID random();
  // Nothing unless the text is exactly 36 characters of hex digits in the 8-4-4-4-12 layout.
  static std::optional<UUID> parse(std::string_view text);

  std::string uuidString() const;       // standard form, upper case
  std::string lowercaseString() const;  // as sent on the wire

  bool operator==(const UUID&) const = default;
};

}  // namespace bnch
