#include "engine/workflow/homebrew_state.h"

#include <algorithm>
#include <string>

namespace bnch {

namespace {

bool contains(const std::vector<std::string>& list, const std::string& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

HomebrewState homebrewState(const SystemProfile& profile, const SetupProbeBundle& probes) {
  constexpr const char* kNative = "/opt/homebrew/bin/brew";
  const bool native = contains(probes.installedPrimaryToolLocations, kNative);
  const bool intel = contains(probes.installedPrimaryToolLocations, "/usr/local/bin/brew");
  const bool visible = !probes.pathVisiblePrimaryTools.empty();
  const bool appleSilicon = profile.architecture == Architecture::appleSilicon;
  const bool ran = probes.versionExitCode.has_value() && *probes.versionExitCode == 0;
  // On Apple Silicon the native brew must be the first one a new Terminal window
  // finds: with the Intel one first, everything installed with the native brew
  // stays out of reach of the terminal.
  const bool nativeFirst = visible && probes.pathVisiblePrimaryTools.front() == kNative;

  if (!native && !intel) return HomebrewState::absent;
  if (ran) {
    if (appleSilicon && intel && !native) return HomebrewState::wrongChip;
    if (appleSilicon) {
      if (!nativeFirst) return HomebrewState::notOnPath;
      return intel ? HomebrewState::twoPlaces : HomebrewState::ready;
    }
    if (visible) return (native && intel) ? HomebrewState::twoPlaces : HomebrewState::ready;
    return HomebrewState::notOnPath;
  }
  if (appleSilicon && intel && !native) return HomebrewState::wrongChip;
  return HomebrewState::notOnPath;
}

}  // namespace bnch
