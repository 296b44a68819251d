#pragma once

#include <chrono>

#include "engine/probes/probe_process.h"
#include "engine/probes/setup_prober.h"

namespace bnch {

// Fills the general answers of the probe bundle with Homebrew as the primary
// tool: the brews on the login shell's PATH and on disk, `brew --version`,
// the shell start-up files, the agent note, the example project, gh and its
// sign-in, and the Git identity. Five checks run concurrently (each program
// under the time limit), the file checks directly. Never fails.
class FoundationProber : public SetupProber {
 public:
  explicit FoundationProber(std::chrono::milliseconds timeLimit = ProbeProcess::defaultTimeLimit)
      : timeLimit_(timeLimit) {}

  SetupProbeBundle probe(const ShellRunner& shell, FileSystemOperating& fs) const override;

  // True when an agent is detected whose instruction file lacks our note.
  static bool agentDocNeeded(const FileSystemOperating& fs);

  static constexpr const char* projectRelativePath = "Documents/AI-Simple-Project";
  static constexpr const char* agentNoteHeading = "Benchkit \u2014 development environment";

 private:
  std::chrono::milliseconds timeLimit_;
};

}  // namespace bnch
