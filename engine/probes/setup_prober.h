#pragma once

#include "engine/platform/file_system_operating.h"
#include "engine/platform/shell_runner.h"
#include "engine/probes/setup_probe_bundle.h"

namespace bnch {

// Answers the questions a product's stages ask. Never fails: every check that
// cannot be answered gives its empty value. Blocks until all checks are done.
class SetupProber {
 public:
  virtual ~SetupProber() = default;
  virtual SetupProbeBundle probe(const ShellRunner& shell, FileSystemOperating& fs) const = 0;
};

}  // namespace bnch
