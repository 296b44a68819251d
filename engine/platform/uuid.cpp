#include "engine/platform/uuid.h"

#include <openssl/rand.h>

#include <random>

namespace bnch {

namespace {

int hexDigit(char character) {
  if (character >= '0' && character <= '9') return character - '0';
  if (character >= 'a' && character <= 'f') return character - 'a' + 10;
  if (character >= 'A' && character <= 'F') return character - 'A' + 10;
  return -1;
}

bool isDashPosition(std::size_t index) { return index == 8 || index == 13 || index == 18 || index == 23; }

std::string format(const UUID& uuid, const char* digits) {
  std::string text;
  text.reserve(36);
  for (std::size_t index = 0; index < uuid.bytes.size(); ++index) {
    if (index == 4 || index == 6 || index == 8 || index == 10) text.push_back('-');
    text.push_back(digits[uuid.bytes[index] >> 4]);
    text.push_back(digits[uuid.bytes[index] & 0x0F]);
  }
  return text;
}

}  // namespace

UUID UUID::random() {
  UUID uuid;
  if (RAND_bytes(uuid.bytes.data(), static_cast<int>(uuid.bytes.size())) != 1) {
    std::random_device device;
    for (auto& byte : uuid.bytes) byte = static_cast<std::uint8_t>(device());
  }
  uuid.bytes[6] = static_cast<std::uint8_t>((uuid.bytes[6] & 0x0F) | 0x40);  // version 4
  uuid.bytes[8] = static_cast<std::uint8_t>((uuid.bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  return uuid;
}

std::optional<UUID> UUID::parse(std::string_view text) {
  if (text.size() != 36) return std::nullopt;
  UUID uuid;
  std::size_t byteIndex = 0;
  for (std::size_t index = 0; index < text.size();) {
    if (isDashPosition(index)) {
      if (text[index] != '-') return std::nullopt;
      ++index;
      continue;
    }
    int high = hexDigit(text[index]);
    int low = index + 1 < text.size() && !isDashPosition(index + 1) ? hexDigit(text[index + 1]) : -1;
    if (high < 0 || low < 0) return std::nullopt;
    uuid.bytes[byteIndex++] = static_cast<std::uint8_t>(high << 4 | low);
    index += 2;
  }
  return uuid;
}

std::string UUID::uuidString() const { return format(*this, "0123456789ABCDEF"); }

std::string UUID::lowercaseString() const { return format(*this, "0123456789abcdef"); }

}  // namespace bnch
