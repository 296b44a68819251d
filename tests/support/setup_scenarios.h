#pragma once

#include "engine/probes/setup_probe_bundle.h"
#include "engine/probes/system_profile.h"

// Macs the flow model and the screens are tested on: a fresh Apple Silicon Mac,
// one with Homebrew, and one where every primary stage is ready.
namespace bnch::testing {

inline SystemProfile freshMac() {
  SystemProfile profile;
  profile.architecture = Architecture::appleSilicon;
  profile.macosVersion = {15, 1, 0};
  profile.shell = Shell::zsh();
  return profile;
}

inline SystemProfile readyMac() {
  SystemProfile profile = freshMac();
  profile.xcodeCommandLineToolsPath = "/Library/Developer/CommandLineTools";
  profile.homebrewPrefix = "/opt/homebrew/bin/brew";
  profile.terminals.warp = true;
  return profile;
}

// No Python found and nothing resolving the commands.
inline SetupProbeBundle freshProbes() {
  SetupProbeBundle probes;
  probes.pythonInventory = PythonInventory{{}, "/Users/alice"};
  probes.pythonPathVerdict = PythonPathVerdict{};
  return probes;
}

// Homebrew installed and found, the shell configured; Python not set up yet.
inline SetupProbeBundle brewProbes() {
  SetupProbeBundle probes = freshProbes();
  probes.installedPrimaryToolLocations = {"/opt/homebrew/bin/brew"};
  probes.pathVisiblePrimaryTools = {"/opt/homebrew/bin/brew"};
  probes.versionExitCode = 0;
  probes.shellConfigured = true;
  return probes;
}

// As brewProbes, with python3 resolving to a uv-managed Python 3.12.4.
inline SetupProbeBundle readyProbes() {
  SetupProbeBundle probes = brewProbes();
  const PythonInstall uv{PythonInstall::Origin::uv(),
                         "/Users/alice/.local/share/uv/python/cpython-3.12.4-macos-aarch64-none/bin/python3", "3.12.4"};
  probes.pythonInventory = PythonInventory{{uv}, "/Users/alice"};
  probes.pythonPathVerdict->python3.resolvedPath = uv.path;
  return probes;
}

}  // namespace bnch::testing
