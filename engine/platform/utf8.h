#pragma once

#include <string>
#include <string_view>

namespace bnch {

// Returns `bytes` as valid UTF-8: well-formed text is returned unchanged (and, for
// an argument moved in, without copying); each ill-formed sequence is replaced by
// U+FFFD, one replacement per maximal ill-formed subpart, as the Unicode standard
// recommends. Overlong forms, surrogates and code points above U+10FFFF count as
// ill-formed. Pure function, safe from any thread.
std::string decodeUtf8Lossy(std::string bytes);

// Length of the longest prefix of `bytes` that does not end inside a multi-byte
// sequence that the following bytes could still complete. Used to cut long text
// without splitting a character.
std::size_t utf8CompletePrefixLength(std::string_view bytes);

// Whether `bytes` is well-formed UTF-8 (by the rule above).
bool isValidUtf8(std::string_view bytes);

// Character-wise cuts of UTF-8 text. A character is one code point, or one
// ill-formed subpart (what decodeUtf8Lossy replaces with one U+FFFD); a cut never
// splits a multi-byte sequence.
namespace utf8 {
std::size_t characterCount(std::string_view text);
std::string prefix(std::string_view text, std::size_t characters);  // the first N characters
std::string suffix(std::string_view text, std::size_t characters);  // the last N characters
}  // namespace utf8

}  // namespace bnch
