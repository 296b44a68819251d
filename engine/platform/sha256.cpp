#include "engine/platform/sha256.h"

#include <openssl/evp.h>

#include <array>
#include <memory>
#include <stdexcept>

namespace bnch {

std::string sha256Hex(const std::function<void(const std::function<void(std::string_view)>&)>& feed) {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
    throw std::runtime_error("SHA-256 is not available");
  }
  feed([&](std::string_view chunk) {
    if (EVP_DigestUpdate(context.get(), chunk.data(), chunk.size()) != 1) {
      throw std::runtime_error("SHA-256 is not available");
    }
  });
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1)
    throw std::runtime_error("SHA-256 is not available");
  static constexpr char hex[] = "0123456789abcdef";
  std::string text;
  text.reserve(length * 2);
  for (unsigned int i = 0; i < length; ++i) {
    text += hex[digest[i] >> 4];
    text += hex[digest[i] & 0x0f];
  }
  return text;
}

std::string sha256Hex(std::string_view bytes) {
  return sha256Hex([bytes](const std::function<void(std::string_view)>& consume) { consume(bytes); });
}

}  // namespace bnch
