#pragma once

#include "engine/probes/system_profile.h"

namespace bnch {

// True when an Apple-silicon Mac runs a macOS so old (11, 12 or 13) that
// Homebrew no longer ships prebuilt packages for it. Intel and unknown
// processors, and versions outside the known list, never get the advisory.
bool isOutdatedMacOS(const SystemProfile& profile);

}  // namespace bnch
