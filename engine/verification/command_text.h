#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "engine/platform/shell_runner.h"
#include "engine/platform/text.h"

namespace bnch {

// How long one command of the verifier, the post-install checks or the outcome
// audit may take (a start-up file that never returns must not hang them).
inline constexpr std::chrono::milliseconds verificationCommandTimeLimit{180000};

// Runs the command in a fresh login shell (`/bin/zsh -lc`, output marker first),
// stopped at verificationCommandTimeLimit (then `timedOut`, exit code -1), and
// returns the trimmed text after the marker with the exit code. A shell that
// cannot start gives the launch error's description (read the same way) and exit
// code -1, so that the failure shows in the check's output. Never throws.
ShellOutput runTrimmed(const ShellRunner& shell, const std::string& commandLine);

}  // namespace bnch
