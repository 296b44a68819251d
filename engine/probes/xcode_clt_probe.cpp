#include "engine/probes/xcode_clt_probe.h"

#include "engine/probes/probe_text.h"

namespace bnch {

std::optional<std::string> XcodeCLTProbe::probe() const {
  return developerFolder(process_.run(ProcessRequest{.executable = xcodeSelectPath, .arguments = {"-p"}}));
}

std::optional<std::string> XcodeCLTProbe::developerFolder(const ProbeRun& run) {
  if (!run.answered || run.exitCode != 0) return std::nullopt;
  const std::string folder = ProbeText::trimWhitespace(run.output);
  if (folder.empty() || folder.find(' ') != std::string::npos || !ProbeText::isFaithful(folder)) return std::nullopt;
  return folder;
}

}  // namespace bnch
