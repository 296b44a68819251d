#include "engine/verification/command_text.h"

#include <exception>

namespace bnch {

ShellOutput runTrimmed(const ShellRunner& shell, const std::string& commandLine) {
  if (!shell.process()) return ShellOutput{"", -1};
  try {
    ProcessRequest request = ShellRunner::markedRequest(commandLine);
    request.timeLimit = verificationCommandTimeLimit;
    const ProcessResult result = shell.process()->run(request);
    if (result.timedOut) return ShellOutput{trimmedText(ShellRunner::textAfterMarker(result.stdOut)), -1, true};
    return ShellOutput{trimmedText(ShellRunner::textAfterMarker(result.stdOut)), result.exitCode};
  } catch (const std::exception& error) {
    return ShellOutput{trimmedText(ShellRunner::textAfterMarker(error.what())), -1};
  }
}

}  // namespace bnch
