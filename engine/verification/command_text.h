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

// Runs the command in a fresh shell of the given form, stopped at
// verificationCommandTimeLimit, and returns the trimmed text of its answer with
// the exit code: in the login form the text after the output marker, in the
// new-Terminal form the answer between its markers (none, with -1, when the
// start-up files never hand back). A run stopped at the limit gives empty text,
// -1 and `timedOut`; a shell that cannot start gives the launch error's
// description and -1, so that the failure shows in the check's output. Never throws.
ShellOutput runTrimmed(const ShellRunner& shell, const std::string& commandLine, ShellForm form);

}  // namespace bnch
