#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace bnch {

// SHA-256 of the bytes as 64 lower-case hexadecimal characters, computed with
// OpenSSL's EVP interface (which uses the processor's SHA instructions where it
// has them). Thread-safe. Throws std::runtime_error only when OpenSSL cannot
// allocate its context.
std::string sha256Hex(std::string_view bytes);

// The same digest over bytes handed over in pieces: `feed` calls its argument
// once per chunk, in order.
std::string sha256Hex(const std::function<void(const std::function<void(std::string_view)>&)>& feed);

}  // namespace bnch
