#pragma once

#include "engine/probes/setup_probe_bundle.h"
#include "engine/probes/system_profile.h"

namespace bnch {

// Where Homebrew stands on this Mac, from the brew locations on disk, whether the
// login shell finds and runs brew, and the processor. The numbers are stable.
enum class HomebrewState {
  ready = 0,      // installed natively and the first brew a new Terminal window finds
  twoPlaces = 1,  // both /opt/homebrew and /usr/local, the native one found first
  notOnPath = 2,  // installed but the shell cannot find or run it
  wrongChip = 3,  // Apple Silicon with only the Intel installation
  absent = 4,     // no brew in either location
};

// Pure; reads the architecture and the probes' brew locations, PATH hits and the
// exit code of `brew --version`.
HomebrewState homebrewState(const SystemProfile& profile, const SetupProbeBundle& probes);

}  // namespace bnch
