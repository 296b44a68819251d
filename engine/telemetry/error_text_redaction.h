#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace bnch {

// What must never leave the machine beyond the shapes every text is scanned for.
struct PrivateValues {
  std::vector<std::string> typedValues;  // what the person typed in this run: API keys, the Git e-mail
  std::string homeFolder;                // e.g. "/Users/alice"
  std::string accountName;               // e.g. "alice"

  // This process's home folder ($HOME, else the password database) and account name.
  static PrivateValues ofThisAccount();
  bool operator==(const PrivateValues&) const = default;
};

// `text` made fit to leave the machine. Replaced by "<redacted>": every typed
// value (4 characters or more); the value after "Authorization:" to the end of its
// line and the word after "Bearer"; token-shaped words (sk-…, ghp_…, github_pat_…,
// xoxb-…, fc-…, AKIA…, and any run of 32 or more letters and digits mixing both);
// URL path segments of 16 or more letters, digits, "-" and "_" mixing letters and
// digits (keys carried in a URL's path); the values of token, key, secret and
// password parameters. Dropped: "user:password@" before a URL's host. The home
// folder becomes "~" in every form ("/Users/<any name>", the given home folder
// wherever it appears, "~<account>"), and the account name (3 characters or
// more) standing as a word "<user>". Linear in the text's length for a fixed
// number of typed values. Pure; safe from any thread.
std::string redactedText(std::string_view text, const PrivateValues& values);

// The tail of a failed step's output, made fit to leave the machine: the last
// `lineCount` lines joined with line feeds and passed through redactedText();
// when longer than `characterLimit` characters, only the last `characterLimit`
// are kept, after a leading "…". Pure; safe from any thread.
std::string redactedErrorText(const std::vector<std::string>& lines, const PrivateValues& values,
                              std::size_t lineCount = 8, std::size_t characterLimit = 600);
// The same with the shapes alone (no typed values, home folder or account name).
std::string redactedErrorText(const std::vector<std::string>& lines, std::size_t lineCount = 8,
                              std::size_t characterLimit = 600);

}  // namespace bnch
