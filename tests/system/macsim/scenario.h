// A scenario: one simulated Mac described by a JSON file (format in tests/system/README.md).
// Loading resolves "extends" chains and makes every data-file reference absolute, so the
// result no longer depends on the folder it was read from.
#pragma once

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

namespace macsim {

struct ScenarioError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The machine block, with defaults filled in.
struct Machine {
  std::string arch = "arm64";   // "arm64" or "x86_64"
  std::string macos = "15.1";   // ProductVersion
  std::string build = "24B83";  // ProductBuildVersion
  std::string user = "alice";   // short name; HOME is /Users/<user>
  std::string fullName = "Alice";
  std::string hostname;  // default: "<FullName>s-MacBook-Pro"
  std::string password = "password";
  std::string dialog = "ok";  // password dialogs: "ok" (types dialogAnswer) or "cancel"
  std::string dialogAnswer;   // default: the password
  bool admin = true;
  bool online = true;
  long long diskFreeBytes = 200'000'000'000;  // what every volume reports free
  int uid = 501;
  int gid = 20;

  std::string home() const { return "/Users/" + user; }
  // Darwin release matching the macOS major version (15 -> 24.1.0).
  std::string darwinRelease() const;
  int macosMajor() const;
};

struct Scenario {
  std::filesystem::path file;  // the JSON file it came from
  std::string name;            // file stem, e.g. "fresh-mac"
  nlohmann::json doc;          // merged document ("extends" already applied)
  Machine machine;
  std::map<std::string, std::string> env;  // extra or overriding environment variables
};

// Reads and validates a scenario. Throws ScenarioError with a readable message.
Scenario loadScenario(const std::filesystem::path& file);

}  // namespace macsim
