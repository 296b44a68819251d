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

// Runs the command in a fresh shell of the given form and returns the trimmed
// text of its answer with the exit code. In the login form the shell is stopped
// at verificationCommandTimeLimit (then `timedOut`, exit code -1), and a shell
// that cannot start gives the launch error's description (read the same way)
// and exit code -1, so that the failure shows in the check's output; a new
// Terminal window that gives no answer (see ShellRunner::ask) gives empty text
// and -1. Never throws.
ShellOutput runTrimmed(const ShellRunner& shell, const std::string& commandLine, ShellForm form);

}  // namespace bnch
