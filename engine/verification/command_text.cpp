#include "engine/verification/command_text.h"

#include <exception>

namespace bnch {

ShellOutput runTrimmed(const ShellRunner& shell, const std::string& commandLine) {
  const ProcessRequest request{
      .executable = "/bin/zsh",
      .arguments = {"-lc", "echo " + std::string(ShellRunner::outputMarker) + "; " + commandLine},
      .environment = std::nullopt,
  };
  if (!shell.process()) return ShellOutput{"", -1};
  try {
    const ProcessResult result = shell.process()->run(request);
    return ShellOutput{trimmedText(ShellRunner::textAfterMarker(result.stdOut)), result.exitCode};
  } catch (const std::exception& error) {
    return ShellOutput{trimmedText(ShellRunner::textAfterMarker(error.what())), -1};
  }
}

}  // namespace bnch
