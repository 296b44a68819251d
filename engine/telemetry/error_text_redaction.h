#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace bnch {

// The tail of a failed step's output, made fit to leave the machine: the last
// `lineCount` lines joined with line feeds; every "/Users/<name>/" becomes
// "/Users/~/"; user names and passwords before a URL's host are dropped; the
// values of token, key, secret and password parameters become "<redacted>";
// when longer than `characterLimit` characters, only the last `characterLimit`
// are kept, after a leading "…". Pure; safe from any thread.
std::string redactedErrorText(const std::vector<std::string>& lines, std::size_t lineCount = 8,
                              std::size_t characterLimit = 600);

}  // namespace bnch
