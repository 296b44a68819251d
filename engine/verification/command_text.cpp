#include "engine/verification/command_text.h"

#include <exception>

namespace bnch {

ShellOutput runTrimmed(const ShellRunner& shell, const std::string& commandLine, ShellForm form) {
  if (!shell.process()) return ShellOutput{"", -1};
  if (form == ShellForm::newTerminal) {
    // A window that gives no answer (time limit, a start-up file that never
    // hands back) leaves the question open rather than answering it "no".
    const std::optional<ShellOutput> answer = shell.ask(commandLine);
    if (!answer) return ShellOutput{"", -1, true};
    return ShellOutput{trimmedText(answer->output), answer->exitCode};
  }
  try {
    ProcessRequest request = ShellRunner::request(commandLine, form);
    request.timeLimit = verificationCommandTimeLimit;
    const ProcessResult result = shell.process()->run(request);
    if (result.timedOut) return ShellOutput{trimmedText(ShellRunner::textAfterMarker(result.stdOut)), -1, true};
    return ShellOutput{trimmedText(ShellRunner::textAfterMarker(result.stdOut)), result.exitCode};
  } catch (const std::exception& error) {
    return ShellOutput{trimmedText(ShellRunner::textAfterMarker(error.what())), -1};
  }
}

}  // namespace bnch
