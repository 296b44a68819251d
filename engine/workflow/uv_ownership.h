#pragma once

#include "engine/probes/setup_probe_bundle.h"

namespace bnch {

// Whether uv manages Python on this Mac and a fresh shell's `python` (or
// `python3`) resolves to a uv-managed interpreter. Missing inventory or verdict
// read as an empty inventory and two unresolved commands. Pure.
bool uvOwnsPython(const SetupProbeBundle& probes);

}  // namespace bnch
