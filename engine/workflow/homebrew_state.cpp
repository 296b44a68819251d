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
  const bool native = contains(probes.installedPrimaryToolLocations, "/opt/homebrew/bin/brew");
  const bool intel = contains(probes.installedPrimaryToolLocations, "/usr/local/bin/brew");
  const bool visible = !probes.pathVisiblePrimaryTools.empty();
  const bool appleSilicon = profile.architecture == Architecture::appleSilicon;
  const bool ran = probes.versionExitCode.has_value() && *probes.versionExitCode == 0;

  if (!native && !intel) return HomebrewState::absent;
  if (ran) {
    if (appleSilicon && intel) {
      if (visible || !native) return native ? HomebrewState::twoPlaces : HomebrewState::wrongChip;
      return HomebrewState::notOnPath;
    }
    if (visible) return (native && intel) ? HomebrewState::twoPlaces : HomebrewState::ready;
    return HomebrewState::notOnPath;
  }
  if (appleSilicon && intel && !native) return HomebrewState::wrongChip;
  return HomebrewState::notOnPath;
}

}  // namespace bnch
