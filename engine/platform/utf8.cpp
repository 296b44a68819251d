#include "engine/platform/utf8.h"

#include <cstdint>
#include <cstring>

namespace bnch {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the well-formed sequence starting at `i`, or the length of the maximal
// ill-formed subpart there, negated (always at least 1 byte).
int sequenceAt(std::string_view s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(s[k]); };
  const std::uint8_t lead = byte(i);
  if (lead < 0x80) return 1;
  int length = 0;
  std::uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return -1;
  }
  for (int k = 1; k < length; ++k) {
    if (i + k >= s.size()) return -k;
    const std::uint8_t b = byte(i + k);
    const bool ok = k == 1 ? (b >= low && b <= high) : (b >= 0x80 && b <= 0xBF);
    if (!ok) return -k;
  }
  return length;
}

// Index of the first ill-formed byte, or s.size().
std::size_t firstInvalid(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    // Skip ASCII quickly, eight bytes at a time where possible.
    while (i + 8 <= s.size()) {
      std::uint64_t word = 0;
      std::memcpy(&word, s.data() + i, sizeof word);
      if (word & 0x8080808080808080ULL) break;
      i += 8;
    }
    if (i >= s.size()) break;
    const int n = sequenceAt(s, i);
    if (n < 0) return i;
    i += static_cast<std::size_t>(n);
  }
  return s.size();
}

std::string repairFrom(std::string_view s, std::size_t start) {
  std::string out;
  out.reserve(s.size() + 16);
  out.append(s.substr(0, start));
  std::size_t i = start;
  while (i < s.size()) {
    const int n = sequenceAt(s, i);
    if (n > 0) {
      out.append(s.substr(i, static_cast<std::size_t>(n)));
      i += static_cast<std::size_t>(n);
    } else {
      out.append(kReplacement);
      i += static_cast<std::size_t>(-n);
    }
  }
  return out;
}

// Byte length of the character at `i`: a well-formed sequence or an ill-formed subpart.
std::size_t characterLength(std::string_view s, std::size_t i) {
  const int n = sequenceAt(s, i);
  return static_cast<std::size_t>(n > 0 ? n : -n);
}

}  // namespace

bool isValidUtf8(std::string_view bytes) { return firstInvalid(bytes) == bytes.size(); }

std::size_t utf8::characterCount(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t index = 0; index < text.size(); index += characterLength(text, index)) ++count;
  return count;
}

std::string utf8::prefix(std::string_view text, std::size_t characters) {
  std::size_t index = 0;
  for (std::size_t taken = 0; taken < characters && index < text.size(); ++taken) index += characterLength(text, index);
  return std::string(text.substr(0, index));
}

std::string utf8::suffix(std::string_view text, std::size_t characters) {
  const std::size_t total = characterCount(text);
  if (total <= characters) return std::string(text);
  std::size_t index = 0;
  for (std::size_t skipped = 0; skipped < total - characters; ++skipped) index += characterLength(text, index);
  return std::string(text.substr(index));
}

std::string decodeUtf8Lossy(std::string bytes) {
  const std::size_t bad = firstInvalid(bytes);
  if (bad == bytes.size()) return bytes;
  return repairFrom(bytes, bad);
}

std::size_t utf8CompletePrefixLength(std::string_view bytes) {
  // A character is at most four bytes: look back at most three for a lead byte.
  const std::size_t size = bytes.size();
  for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
    const auto b = static_cast<std::uint8_t>(bytes[size - back]);
    if ((b & 0xC0) == 0x80) continue;       // continuation byte: keep looking for the lead
    if (b < 0xC2 || b > 0xF4) return size;  // ASCII, or not a lead byte
    const int n = sequenceAt(bytes, size - back);
    // Cut before a lead byte whose sequence is merely incomplete at the end.
    if (n < 0 && size - back + static_cast<std::size_t>(-n) == size) return size - back;
    return size;
  }
  return size;
}

}  // namespace bnch
