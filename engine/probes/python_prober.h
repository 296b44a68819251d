#pragma once

#include <chrono>

#include "engine/probes/foundation_prober.h"
#include "engine/probes/setup_prober.h"

namespace bnch {

// The Python product's prober: the foundation answers plus the Python inventory
// and which programs answer `python` and `python3` in a fresh login shell. The
// foundation checks and the command resolution run concurrently while the
// inventory is scanned. Never fails.
class PythonProber : public SetupProber {
 public:
  explicit PythonProber(std::chrono::milliseconds timeLimit = ProbeProcess::defaultTimeLimit) : timeLimit_(timeLimit) {}

  SetupProbeBundle probe(const ShellRunner& shell, FileSystemOperating& fs) const override;

 private:
  std::chrono::milliseconds timeLimit_;
};

}  // namespace bnch
