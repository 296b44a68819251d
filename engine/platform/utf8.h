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

}  // namespace bnch
