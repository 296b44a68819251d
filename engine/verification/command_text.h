#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/platform/shell_runner.h"
#include "engine/platform/text.h"

namespace bnch {

// Runs the command in a fresh login shell and trims its output. A shell that
// cannot start gives empty text and exit code -1.
ShellOutput runTrimmed(const ShellRunner& shell, const std::string& commandLine);

}  // namespace bnch
