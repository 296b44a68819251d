#include "engine/verification/command_text.h"

#include <exception>

namespace bnch {

ShellOutput runTrimmed(const ShellRunner& shell, const std::string& commandLine, ShellForm form) {
  if (!shell.process()) return ShellOutput{"", -1};
  if (form == ShellForm::newTerminal) {
    const ShellOutput answer = shell.ask(commandLine).value_or(ShellOutput{"", -1});
    return ShellOutput{trimmedText(answer.output), answer.exitCode};
  }
  try {
    const ProcessResult result = shell.process()->run(ShellRunner::request(commandLine, form));
    return ShellOutput{trimmedText(ShellRunner::textAfterMarker(result.stdOut)), result.exitCode};
  } catch (const std::exception& error) {
    return ShellOutput{trimmedText(ShellRunner::textAfterMarker(error.what())), -1};
  }
}

}  // namespace bnch
