#pragma once

#include <string>
#include <vector>

namespace bnch {

// What is checked right after an install reports success.
struct PostInstallCheck {
  enum class Kind { appBundle, command, executable, directoryPrefixed, none };
  Kind kind = Kind::none;
  std::vector<std::string> anyOf;  // appBundle: bundle names; executable: paths ("~/" = home)
  std::string command;             // command: a command name
  std::string parent;              // directoryPrefixed
  std::string prefix;              // directoryPrefixed

  static PostInstallCheck appBundle(std::vector<std::string> anyOf) {
    return {Kind::appBundle, std::move(anyOf), {}, {}, {}};
  }
  static PostInstallCheck commandNamed(std::string name) { return {Kind::command, {}, std::move(name), {}, {}}; }
  static PostInstallCheck executable(std::vector<std::string> anyOf) {
    return {Kind::executable, std::move(anyOf), {}, {}, {}};
  }
  static PostInstallCheck directoryPrefixed(std::string parent, std::string prefix) {
    return {Kind::directoryPrefixed, {}, {}, std::move(parent), std::move(prefix)};
  }
  static PostInstallCheck none() { return {}; }

  bool operator==(const PostInstallCheck&) const = default;
};

}  // namespace bnch
