#include <cstdio>
#include <future>
#include <string>
#include <vector>

#include "engine/platform/app_services.h"
#include "engine/probes/system_profile.h"
#include "tools/benchkit-doctor/commands.h"
#include "tools/benchkit-doctor/json_output.h"

namespace bnch::doctor {
namespace {

std::string orNone(const std::optional<std::string>& value) { return value.value_or("none"); }

std::string joined(const std::vector<std::string>& names) {
  if (names.empty()) return "none";
  std::string text;
  for (const auto& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

void line(const char* label, const std::string& value) { std::printf("  %-28s %s\n", label, value.c_str()); }

std::string architectureName(Architecture architecture) {
  switch (architecture) {
    case Architecture::appleSilicon:
      return "Apple silicon";
    case Architecture::intel:
      return "Intel";
    case Architecture::unknown:
      break;
  }
  return "unknown";
}

// The names of the flags set in a JSON object of booleans.
std::vector<std::string> setFlags(const Json& flags) {
  std::vector<std::string> names;
  for (const auto& [name, value] : flags.items()) {
    if (value.is_boolean() && value.get<bool>()) names.push_back(name);
  }
  return names;
}

std::string text(const Json& value) {
  if (value.is_null()) return "none";
  if (value.is_string()) return value.get<std::string>();
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void printProfile(const SystemProfile& profile) {
  const Json json = toJson(profile);
  std::puts("This Mac");
  line("Processor", architectureName(profile.architecture));
  line("macOS", text(json["macosVersion"]));
  line("Login shell", profile.shell.name);
  line("Administrator", profile.isAdministrator ? "yes" : "no");
  line("Command Line Tools", orNone(profile.xcodeCommandLineToolsPath));
  line("Homebrew", orNone(profile.homebrewPrefix));
  line("mise", orNone(profile.miseExecutable));
  line("SDKMAN", orNone(profile.sdkmanRoot));
  line("jenv", orNone(profile.jenvRoot));
  line("asdf", orNone(profile.asdfRoot));
  line("java on PATH", orNone(profile.javaState.whichJava));
  std::vector<std::string> jdks;
  for (const auto& jdk : profile.javaState.installedJDKs) jdks.push_back(jdk.version + " (" + jdk.path + ")");
  line("JDKs", joined(jdks));
  line("JAVA_HOME in a new terminal", orNone(profile.javaState.javaHomeInActiveShell));
  auto ai = json["aiTooling"];
  ai.erase("claudeCliLocations");
  ai.erase("codexCliLocations");
  line("AI tools", joined(setFlags(ai)));
  line("claude executables", joined(profile.aiTooling.claudeCliLocations));
  line("codex executables", joined(profile.aiTooling.codexCliLocations));
  line("Terminals", joined(setFlags(json["terminals"])));
  line("Markdown editors", joined(setFlags(json["markdownEditors"])));
}

void printProbes(const SetupProbeBundle& bundle) {
  const Json json = probesJson(bundle);
  std::puts("\nPython and the terminal");
  if (json.contains("owningInstalls")) {
    for (const char* command : {"python", "python3"}) {
      const Json& resolution = json["pythonPathVerdict"][command];
      const Json& owner = json["owningInstalls"][command];
      std::string answer = text(resolution["resolvedPath"]);
      if (!owner.is_null()) answer += "  (" + text(owner["origin"]) + ", " + text(owner["version"]) + ")";
      line((std::string(command) + " in a new terminal").c_str(), answer);
    }
    std::vector<std::string> installs;
    for (const auto& install : json["pythonInventory"]["installs"]) {
      installs.push_back(text(install["origin"]) + " " + text(install["version"]) + " at " + text(install["path"]));
    }
    line("Pythons on disk", installs.empty() ? "none" : "");
    for (const auto& install : installs) std::printf("    %s\n", install.c_str());
    line("Other Python managers", joined(json["competingOwners"].get<std::vector<std::string>>()));
  }
  line("brew on PATH", joined(bundle.pathVisiblePrimaryTools));
  line("brew installed at", joined(bundle.installedPrimaryToolLocations));
  line("brew --version", "exit " + text(json["versionExitCode"]) + ": " + orNone(bundle.versionOutput));
  line("Shell start-up files set up", bundle.shellConfigured ? "yes" : "no");
  line("Agent note needed", bundle.agentDocNeeded ? "yes" : "no");
  line("Example project", bundle.projectExists ? "present" : "not created");
  line("GitHub CLI", bundle.ghPresent ? (bundle.ghAuthed ? "signed in" : "installed, signed out") : "not installed");
  line("Git identity", bundle.gitIdentitySet ? "set" : "not set");
}

void printReadiness(const Json& readiness) {
  std::puts("\nReadiness");
  const Json& network = readiness["network"];
  if (network.is_null()) {
    line("Network", "not measured");
  } else {
    std::string answer = text(network["verdict"]);
    if (!network["downMbps"].is_null()) {
      char rate[64];
      std::snprintf(rate, sizeof rate, ", %.1f Mbit/s, about %d s for a full setup", network["downMbps"].get<double>(),
                    network["estimatedInstallSeconds"].get<int>());
      answer += rate;
    }
    answer +=
        " (" + text(network["endpointsReachable"]) + " of " + text(network["endpointsTotal"]) + " servers reachable)";
    line("Network", answer);
  }
  const Json& disk = readiness["disk"];
  line("Disk", text(disk["verdict"]) + ", " + text(disk["availableBytes"]) + " bytes free");
  line("macOS", readiness["macOS"]["isOutdatedMacOS"].get<bool>() ? "older than Homebrew supports" : "supported");
  for (const auto& warning : readiness["warnings"]) {
    std::printf("\n  %s\n  %s\n", text(warning["copy"]["headline"]).c_str(), text(warning["copy"]["body"]).c_str());
  }
}

}  // namespace

// Prints, for a person, what the profile, the probes and the readiness checks found.
int reportCommand(const Arguments& arguments) {
  if (!arguments.empty() && arguments != Arguments{"--no-network"}) {
    std::fprintf(stderr, "usage: benchkit-doctor [report [--no-network]]\n");
    return 2;
  }
  const AppServices& services = AppServices::live();
  // The profile, the probes and the network sample do not depend on each other.
  auto profile = std::async(std::launch::async, [&] { return takeProfile(services); });
  auto probes = std::async(std::launch::async, [&] { return takeProbes(services); });
  const SystemProfile snapshot = profile.get();
  const Json readiness = readinessJson(services, snapshot.architecture, snapshot.macosVersion, arguments.empty());
  printProfile(snapshot);
  printProbes(probes.get());
  printReadiness(readiness);
  return 0;
}

}  // namespace bnch::doctor
