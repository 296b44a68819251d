#include "engine/verification/command_text.h"

#include <exception>

namespace bnch {

ShellOutput runTrimmed(const ShellRunner& shell, const std::string& commandLine) {
  if (!shell.process()) return ShellOutput{"", -1};
  try {
    const ProcessResult result = shell.process()->run(ShellRunner::markedRequest(commandLine));
    return ShellOutput{trimmedText(ShellRunner::textAfterMarker(result.stdOut)), result.exitCode};
  } catch (const std::exception& error) {
    return ShellOutput{trimmedText(ShellRunner::textAfterMarker(error.what())), -1};
  }
}

}  // namespace bnch
