#include "tools/benchkit-doctor/json_output.h"

#include <string>

namespace bnch::doctor {
namespace {

Json orNull(const std::optional<std::string>& text) { return text ? Json(*text) : Json(nullptr); }

}  // namespace

Json toJson(Architecture architecture) {
  switch (architecture) {
    case Architecture::appleSilicon:
      return "appleSilicon";
    case Architecture::intel:
      return "intel";
    case Architecture::unknown:
      return "unknown";
  }
  return "unknown";
}

Json toJson(const Shell& shell) {
  switch (shell.kind) {
    case Shell::Kind::zsh:
      return "zsh";
    case Shell::Kind::bash:
      return "bash";
    case Shell::Kind::fish:
      return "fish";
    case Shell::Kind::other:
      return "other:" + shell.name;
  }
  return "other:" + shell.name;
}

Json toJson(const OperatingSystemVersion& version) {
  return std::to_string(version.major) + "." + std::to_string(version.minor) + "." + std::to_string(version.patch);
}

Json toJson(const JDKInfo& jdk) {
  return Json{{"version", jdk.version}, {"vendor", jdk.vendor}, {"architecture", jdk.architecture}, {"path", jdk.path}};
}

Json toJson(const ProbeBundle& javaState) {
  Json jdks = Json::array();
  for (const auto& jdk : javaState.installedJDKs) jdks.push_back(toJson(jdk));
  return Json{{"whichJava", orNull(javaState.whichJava)},
              {"installedJDKs", jdks},
              {"jvmDirContents", javaState.jvmDirContents},
              {"javaHomeInActiveShell", orNull(javaState.javaHomeInActiveShell)}};
}

Json toJson(const AITooling& tooling) {
  return Json{{"claudeCodeDesktop", tooling.claudeCodeDesktop},
              {"cursor", tooling.cursor},
              {"chatgptDesktop", tooling.chatgptDesktop},
              {"vsCode", tooling.vsCode},
              {"windsurf", tooling.windsurf},
              {"kiro", tooling.kiro},
              {"antigravity", tooling.antigravity},
              {"zed", tooling.zed},
              {"replit", tooling.replit},
              {"warpApp", tooling.warpApp},
              {"intellij", tooling.intellij},
              {"claudeCodeCLI", tooling.claudeCodeCLI},
              {"codexCLI", tooling.codexCLI},
              {"aider", tooling.aider},
              {"claudeCliLocations", tooling.claudeCliLocations},
              {"codexCliLocations", tooling.codexCliLocations}};
}

Json toJson(const Terminals& terminals) {
  return Json{{"iterm", terminals.iterm},    {"ghostty", terminals.ghostty},     {"warp", terminals.warp},
              {"hyper", terminals.hyper},    {"alacritty", terminals.alacritty}, {"kitty", terminals.kitty},
              {"wezterm", terminals.wezterm}};
}

Json toJson(const MarkdownEditors& editors) { return Json{{"zettlr", editors.zettlr}, {"obsidian", editors.obsidian}}; }

Json toJson(const SystemProfile& profile) {
  return Json{{"architecture", toJson(profile.architecture)},
              {"macosVersion", toJson(profile.macosVersion)},
              {"shell", toJson(profile.shell)},
              {"homebrewPrefix", orNull(profile.homebrewPrefix)},
              {"sdkmanRoot", orNull(profile.sdkmanRoot)},
              {"miseExecutable", orNull(profile.miseExecutable)},
              {"jenvRoot", orNull(profile.jenvRoot)},
              {"asdfRoot", orNull(profile.asdfRoot)},
              {"xcodeCommandLineToolsPath", orNull(profile.xcodeCommandLineToolsPath)},
              {"javaState", toJson(profile.javaState)},
              {"aiTooling", toJson(profile.aiTooling)},
              {"terminals", toJson(profile.terminals)},
              {"markdownEditors", toJson(profile.markdownEditors)},
              {"isAdministrator", profile.isAdministrator}};
}

Json toJson(const PythonInstall::Origin& origin) {
  using Kind = PythonInstall::Origin::Kind;
  switch (origin.kind) {
    case Kind::apple:
      return "apple";
    case Kind::pythonOrg:
      return "pythonOrg";
    case Kind::homebrew:
      return "homebrew";
    case Kind::uv:
      return "uv";
    case Kind::competing:
      return "competing:" + origin.owner;
  }
  return "competing:" + origin.owner;
}

Json toJson(const PythonInstall& install) {
  return Json{{"origin", toJson(install.origin)}, {"path", install.path}, {"version", orNull(install.version)}};
}

Json toJson(const PythonInventory& inventory) {
  Json installs = Json::array();
  for (const auto& install : inventory.installs) installs.push_back(toJson(install));
  return Json{{"installs", installs}, {"homeDirectory", inventory.homeDirectory}};
}

Json toJson(const PythonCommandResolution& resolution) {
  return Json{{"command", resolution.command},
              {"resolvedPath", orNull(resolution.resolvedPath)},
              {"resolvedTarget", orNull(resolution.resolvedTarget)},
              {"version", orNull(resolution.version)}};
}

Json toJson(const PythonPathVerdict& verdict) {
  return Json{{"python", toJson(verdict.python)}, {"python3", toJson(verdict.python3)}};
}

Json toJson(const SetupProbeBundle& bundle) {
  return Json{{"pathVisiblePrimaryTools", bundle.pathVisiblePrimaryTools},
              {"installedPrimaryToolLocations", bundle.installedPrimaryToolLocations},
              {"versionOutput", orNull(bundle.versionOutput)},
              {"versionExitCode", bundle.versionExitCode ? Json(*bundle.versionExitCode) : Json(nullptr)},
              {"companionToolPresent", bundle.companionToolPresent},
              {"shellConfigured", bundle.shellConfigured},
              {"agentDocNeeded", bundle.agentDocNeeded},
              {"projectExists", bundle.projectExists},
              {"ghPresent", bundle.ghPresent},
              {"gitIdentitySet", bundle.gitIdentitySet},
              {"ghAuthed", bundle.ghAuthed},
              {"pythonInventory", toJson(bundle.pythonInventory)},
              {"pythonPathVerdict", toJson(bundle.pythonPathVerdict)}};
}

Json toJson(const NetworkReadinessResult& result) {
  return Json{{"verdict", std::string(toString(result.verdict))},
              {"downMbps", result.downMbps ? Json(*result.downMbps) : Json(nullptr)},
              {"estimatedInstallSeconds",
               result.estimatedInstallSeconds ? Json(*result.estimatedInstallSeconds) : Json(nullptr)},
              {"endpointsReachable", result.endpointsReachable},
              {"endpointsTotal", result.endpointsTotal}};
}

Json toJson(const DiskReadinessResult& result) {
  return Json{{"verdict", std::string(toString(result.verdict))},
              {"availableBytes", result.availableBytes ? Json(*result.availableBytes) : Json(nullptr)},
              {"worstCaseBytes", result.worstCaseBytes},
              {"headroomBytes", result.headroomBytes}};
}

Json toJson(const ReadinessScreenCopy& copy) {
  return Json{{"windowTitle", copy.windowTitle},
              {"headline", copy.headline},
              {"body", copy.body},
              {"continueLabel", copy.continueLabel},
              {"stopLabel", copy.stopLabel}};
}

}  // namespace bnch::doctor
