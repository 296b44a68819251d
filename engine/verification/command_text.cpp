#include "engine/verification/command_text.h"

#include <exception>

namespace bnch {

ShellOutput runTrimmed(const ShellRunner& shell, const std::string& commandLine, ShellForm form) {
  if (!shell.process()) return ShellOutput{"", -1};
  try {
    ProcessRequest request = ShellRunner::request(commandLine, form);
    request.timeLimit = verificationCommandTimeLimit;
    const ProcessResult result = shell.process()->run(request);
    // Stopped at the limit: the question stays open rather than answered "no".
    if (result.timedOut) return ShellOutput{"", -1, true};
    if (form == ShellForm::newTerminal) {
      // A window whose start-up files never hand back (an exec, an exit) gives no answer.
      const std::optional<ShellOutput> answer = ShellRunner::answerIn(result.stdOut);
      if (!answer) return ShellOutput{"", -1};
      return ShellOutput{trimmedText(answer->output), answer->exitCode};
    }
    return ShellOutput{trimmedText(ShellRunner::textAfterMarker(result.stdOut)), result.exitCode};
  } catch (const std::exception& error) {
    return ShellOutput{trimmedText(ShellRunner::textAfterMarker(error.what())), -1};
  }
}

}  // namespace bnch
