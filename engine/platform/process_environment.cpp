#include "engine/platform/process_environment.h"

#include <cstring>

extern "C" char** environ;

namespace bnch {

Environment processEnvironment() {
  Environment environment;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const char* separator = std::strchr(*entry, '=');
    if (separator == nullptr) continue;
    environment.emplace(std::string(*entry, static_cast<std::size_t>(separator - *entry)), std::string(separator + 1));
  }
  return environment;
}

Environment overlaidEnvironment(Environment base, const Environment& overlay) {
  for (const auto& [name, value] : overlay) base[name] = value;
  return base;
}

}  // namespace bnch
