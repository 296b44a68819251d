#pragma once

#include <string>
#include <string_view>

namespace bnch {

// The one way values are pasted into AppleScript source.
//
// Escapes the value for use inside an AppleScript string literal (the quotes are
// not added): each backslash becomes two backslashes, then each double quote
// becomes a backslash and a double quote. Line feeds and carriage returns become
// the escapes `\n` and `\r`, so the escaped text is always one line and cannot end
// a here-document or a script line early.
std::string appleScriptEscape(std::string_view value);

// The value as a complete AppleScript string literal: `"` + escaped value + `"`.
std::string appleScriptString(std::string_view value);

}  // namespace bnch
