#pragma once

#include <string>
#include <string_view>

namespace bnch {

// The one way values are pasted into shell command lines.

// Wraps the value in single quotes so the shell reads it as one word, whatever it
// holds: each `'` inside becomes `'\''` (close, escaped quote, reopen).
// shellSingleQuote("it's") == "'it'\\''s'".
std::string shellSingleQuote(std::string_view value);

// Escapes the value for use between double quotes (the quotes are not added):
// `\`, `"`, `$` and the backquote get a backslash, so no expansion or command
// substitution can happen inside.
std::string shellDoubleQuoteEscape(std::string_view value);

}  // namespace bnch
