#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace bnch {

// Text rules shared by everything that reads program output.

// Length of the line break that starts at `i` (LF, CR, CRLF, VT, FF, U+0085,
// U+2028, U+2029), or 0 when there is none.
std::size_t lineBreakLength(std::string_view text, std::size_t i);

// Without white space and line breaks at either end (space, tab and the line
// breaks above).
std::string trimmedText(std::string_view text);
// The same, as a view into `text` (nothing copied).
std::string_view trimmedView(std::string_view text);

// Without any of `characters` at either end (bytes, not characters of UTF-8).
std::string_view trimmedOf(std::string_view text, std::string_view characters);

// The lines of the text, split at any line break, empty lines dropped.
std::vector<std::string> nonEmptyLines(std::string_view text);

// With the ASCII letters A-Z in lower case; every other byte (UTF-8 included)
// unchanged, whatever the locale. For matching tool output case-insensitively.
std::string lowercasedASCII(std::string_view text);

}  // namespace bnch
