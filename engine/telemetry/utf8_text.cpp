#include "engine/telemetry/utf8_text.h"

namespace bnch::utf8 {

namespace {

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Byte length of the character starting at `index`: the lead byte and the
// continuation bytes that follow it (at most three).
std::size_t characterLength(std::string_view text, std::size_t index) {
  std::size_t length = 1;
  while (length < 4 && index + length < text.size() &&
         isContinuation(static_cast<unsigned char>(text[index + length])) &&
         !isContinuation(static_cast<unsigned char>(text[index]))) {
    ++length;
  }
  return length;
}

}  // namespace

std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t index = 0; index < text.size(); index += characterLength(text, index)) ++count;
  return count;
}

std::string prefix(std::string_view text, std::size_t characters) {
  std::size_t index = 0;
  for (std::size_t taken = 0; taken < characters && index < text.size(); ++taken) index += characterLength(text, index);
  return std::string(text.substr(0, index));
}

std::string suffix(std::string_view text, std::size_t characters) {
  std::size_t total = characterCount(text);
  if (total <= characters) return std::string(text);
  std::size_t index = 0;
  for (std::size_t skipped = 0; skipped < total - characters; ++skipped) index += characterLength(text, index);
  return std::string(text.substr(index));
}

}  // namespace bnch::utf8
