#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/platform/shell_runner.h"

namespace bnch {

// Text helpers for the verification checks' command output.

// Without white space and line breaks at either end (ASCII white space, and the
// line breaks U+0085, U+2028 and U+2029).
std::string trimmedText(std::string_view text);

// The lines of the text, split at any line break (LF, CR, CRLF, VT, FF, U+0085,
// U+2028, U+2029), empty lines dropped.
std::vector<std::string> nonEmptyLines(std::string_view text);

// Runs the command in a fresh login shell and trims its output. A shell that
// cannot start gives empty text and exit code -1.
ShellOutput runTrimmed(const ShellRunner& shell, const std::string& commandLine);

}  // namespace bnch
