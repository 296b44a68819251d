#include "engine/verification/command_text.h"

namespace bnch {

ShellOutput runTrimmed(const ShellRunner& shell, const std::string& commandLine) {
  ShellOutput result = shell.run(commandLine);
  result.output = trimmedText(result.output);
  return result;
}

}  // namespace bnch
