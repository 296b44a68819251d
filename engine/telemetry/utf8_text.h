#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace bnch::utf8 {

// Character-wise cuts of UTF-8 text. A character is one code point; a cut never
// splits a multi-byte sequence. Invalid bytes count as one character each.
std::size_t characterCount(std::string_view text);
std::string prefix(std::string_view text, std::size_t characters);  // the first N characters
std::string suffix(std::string_view text, std::size_t characters);  // the last N characters

}  // namespace bnch::utf8
