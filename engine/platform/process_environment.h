#pragma once

#include "engine/platform/process_running.h"

namespace bnch {

// The application's own environment variables, read once per call from the
// process. Thread-safe as long as nothing changes the environment meanwhile (the
// engine never does).
Environment processEnvironment();

// `base` with every entry of `overlay` laid over it (the overlay's values win).
Environment overlaidEnvironment(Environment base, const Environment& overlay);

}  // namespace bnch
