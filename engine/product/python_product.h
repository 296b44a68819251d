#pragma once

#include "engine/workflow/product_config.h"

namespace bnch {

// The Python product: its names and texts with the spine, prober, verifier,
// copy, stage catalogue and render policy wired together. Built once on first
// use and shared.
const ProductConfig& pythonProduct();

}  // namespace bnch
