#include "engine/probes/probe_process.h"

namespace bnch {

ProbeRun ProbeProcess::run(const ProcessRequest& request) const {
  if (!runner_) return ProbeRun{};
  return runWithTimeLimit(*runner_, request, timeLimit_, outputLimit);
}

std::optional<ShellOutput> ProbeProcess::askTerminal(const std::string& command) const {
  return ShellRunner(runner_, timeLimit_).ask(command);
}

}  // namespace bnch
