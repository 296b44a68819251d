#include "engine/telemetry/error_text_redaction.h"
#include "engine/platform/text.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string_view>

#include "engine/platform/utf8.h"
#include "engine/telemetry/usage_events.h"

namespace bnch {

namespace {

// The scans below do what these regular expressions describe, in linear time
// (a backtracking engine takes quadratic time on long runs of letters):
//   ([a-zA-Z][a-zA-Z0-9+.\-]*://)[^/@\s]+@   ->  $1
//   (?i)(access_token|token|api[_-]?key|key|secret|password|passwd|pwd)=[^&\s"']+  ->  $1=<redacted>

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isSchemeCharacter(char c) { return isLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '.' || c == '-'; }

// Drops "user:password@" after every "scheme://".
std::string withoutURLCredentials(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  std::size_t copied = 0;
  std::size_t search = 0;
  while ((search = text.find("://", search)) != std::string_view::npos) {
    std::size_t schemeStart = search;
    bool hasLetter = false;
    while (schemeStart > 0 && isSchemeCharacter(text[schemeStart - 1])) {
      --schemeStart;
      hasLetter = hasLetter || isLetter(text[schemeStart]);
    }
    std::size_t userStart = search + 3;
    std::size_t userEnd = userStart;
    while (userEnd < text.size() && text[userEnd] != '/' && text[userEnd] != '@' && !isSpace(text[userEnd])) ++userEnd;
    if (hasLetter && userEnd > userStart && userEnd < text.size() && text[userEnd] == '@') {
      result.append(text.substr(copied, userStart - copied));
      copied = userEnd + 1;
      search = copied;
    } else {
      search = userStart;
    }
  }
  result.append(text.substr(copied));
  return result;
}

bool endsWithNameIgnoringCase(std::string_view text, std::string_view name) {
  if (text.size() < name.size()) return false;
  auto tail = text.substr(text.size() - name.size());
  return std::equal(tail.begin(), tail.end(), name.begin(),
                    [](char a, char b) { return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b; });
}

// Replaces the value after "token=", "api_key=", "password=" and the like.
std::string withoutSecretValues(std::string_view text) {
  // Every name of the pattern ends with one of these.
  constexpr std::array<std::string_view, 6> nameEndings{"token", "key", "secret", "password", "passwd", "pwd"};
  auto endsValue = [](char c) { return c == '&' || c == '"' || c == '\'' || isSpace(c); };
  std::string result;
  result.reserve(text.size());
  std::size_t copied = 0;
  std::size_t search = 0;
  while ((search = text.find('=', search)) != std::string_view::npos) {
    std::size_t valueStart = search + 1;
    std::size_t valueEnd = valueStart;
    while (valueEnd < text.size() && !endsValue(text[valueEnd])) ++valueEnd;
    auto before = text.substr(copied, search - copied);
    bool isSecret = valueEnd > valueStart && std::any_of(nameEndings.begin(), nameEndings.end(), [&](auto name) {
                      return endsWithNameIgnoringCase(before, name);
                    });
    if (isSecret) {
      result.append(before);
      result.append("=<redacted>");
      copied = valueEnd;
      search = valueEnd;
    } else {
      search = valueStart;
    }
  }
  result.append(text.substr(copied));
  return result;
}

constexpr std::string_view kRedacted = "<redacted>";

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlphanumeric(char c) { return isLetter(c) || isDigit(c); }
// Characters of an account name, and of a word that may be a token.
bool isNameCharacter(char c) {
  return isAlphanumeric(c) || c == '.' || c == '_' || c == '-' || static_cast<unsigned char>(c) >= 0x80;
}
bool isTokenCharacter(char c) { return isAlphanumeric(c) || c == '_' || c == '-'; }

// Every occurrence of `value` replaced with `replacement`; with `wholeName`, only
// where no name character follows ("/Users/al" is not part of "/Users/alice").
std::string replacingAll(std::string_view text, std::string_view value, std::string_view replacement,
                         bool wholeName = false) {
  if (value.empty()) return std::string(text);
  std::string result;
  result.reserve(text.size());
  std::size_t copied = 0;
  std::size_t search = 0;
  for (auto at = text.find(value); at != std::string_view::npos; at = text.find(value, search)) {
    const std::size_t end = at + value.size();
    search = end;
    if (wholeName && end < text.size() && isNameCharacter(text[end])) continue;
    result.append(text.substr(copied, at - copied));
    result.append(replacement);
    copied = end;
  }
  result.append(text.substr(copied));
  return result;
}

// "/Users/<name>" in any form ("/Users/alice", "/Users/alice:", "HOME=/Users/alice/x")
// becomes "/Users/~".
std::string withoutUserFolders(std::string_view text) {
  constexpr std::string_view users = "/Users/";
  std::string result;
  result.reserve(text.size());
  std::size_t copied = 0;
  for (auto at = text.find(users); at != std::string_view::npos; at = text.find(users, copied)) {
    std::size_t nameEnd = at + users.size();
    while (nameEnd < text.size() && isNameCharacter(text[nameEnd])) ++nameEnd;
    result.append(text.substr(copied, at + users.size() - copied));
    if (nameEnd > at + users.size()) result.push_back('~');
    copied = nameEnd;
  }
  result.append(text.substr(copied));
  return result;
}

// "~<account>" becomes "~", and the account name standing as a word "<user>".
std::string withoutAccountName(std::string_view text, std::string_view account) {
  if (account.size() < 3) return std::string(text);  // too short to tell from other words
  std::string result;
  result.reserve(text.size());
  std::size_t copied = 0;
  std::size_t search = 0;
  while ((search = text.find(account, search)) != std::string_view::npos) {
    const std::size_t end = search + account.size();
    const bool wordStart = search == 0 || !isNameCharacter(text[search - 1]) || text[search - 1] == '~';
    const bool wordEnd = end >= text.size() || !isNameCharacter(text[end]);
    if (!wordStart || !wordEnd) {
      search = end;
      continue;
    }
    if (search > 0 && text[search - 1] == '~') {
      result.append(text.substr(copied, search - copied));
    } else {
      result.append(text.substr(copied, search - copied));
      result.append("<user>");
    }
    copied = end;
    search = end;
  }
  result.append(text.substr(copied));
  return result;
}

// The rest of the line after "Authorization:", and the word after "Bearer ".
std::string withoutAuthorizationValues(std::string_view text) {
  const std::string lower = lowercasedASCII(text);
  std::string result;
  result.reserve(text.size());
  std::size_t copied = 0;
  std::size_t position = 0;
  std::size_t header = lower.find("authorization:");
  std::size_t bearer = lower.find("bearer");
  while (position < text.size()) {
    // Each search resumes only once the scan has passed its last find: linear.
    if (header < position) header = lower.find("authorization:", position);
    if (bearer < position) bearer = lower.find("bearer", position);
    const std::size_t at = std::min(header, bearer);
    if (at == std::string::npos) break;
    std::size_t valueStart = at + (at == header ? 14 : 6);
    if (at == bearer && (valueStart >= text.size() || !isSpace(text[valueStart]))) {
      position = valueStart;
      continue;
    }
    while (valueStart < text.size() && (text[valueStart] == ' ' || text[valueStart] == '\t')) ++valueStart;
    std::size_t valueEnd = valueStart;
    if (at == header) {
      while (valueEnd < text.size() && text[valueEnd] != '\n' && text[valueEnd] != '\r') ++valueEnd;
    } else {
      while (valueEnd < text.size() && !isSpace(text[valueEnd]) && text[valueEnd] != '"' && text[valueEnd] != '\'')
        ++valueEnd;
    }
    if (valueEnd > valueStart) {
      result.append(text.substr(copied, valueStart - copied));
      result.append(kRedacted);
      copied = valueEnd;
    }
    position = std::max(valueEnd, valueStart);
  }
  result.append(text.substr(copied));
  return result;
}

bool mixesLettersAndDigits(std::string_view word) {
  return std::any_of(word.begin(), word.end(), isLetter) && std::any_of(word.begin(), word.end(), isDigit);
}

// A word that looks like a credential: a known token prefix followed by at least
// 12 more characters, or 32 or more letters and digits (with "_") mixing both.
bool isTokenShaped(std::string_view word) {
  constexpr std::array<std::string_view, 17> prefixes{
      "sk-", "sk_", "pk_",  "rk_",  "ghp_",  "gho_",  "ghu_",   "ghs_",        "ghr_",
      "hf_", "fc-", "AKIA", "AIza", "xoxb-", "xoxp-", "glpat-", "github_pat_",
  };
  for (std::string_view prefix : prefixes) {
    if (word.size() >= prefix.size() + 12 && word.starts_with(prefix)) return true;
  }
  if (word.size() < 32 || !mixesLettersAndDigits(word)) return false;
  return word.find('-') == std::string_view::npos;  // hyphenated identifiers (UUIDs) are not keys
}

// Token-shaped words, and long path segments of URLs, become "<redacted>".
std::string withoutTokens(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  std::size_t copied = 0;
  std::size_t i = 0;
  std::size_t urlUntil = 0;  // the current URL (scheme:// to white space) ends here
  while (i < text.size()) {
    if (i >= urlUntil && text.compare(i, 3, "://") == 0) {
      urlUntil = i + 3;
      while (urlUntil < text.size() && !isSpace(text[urlUntil])) ++urlUntil;
      // Skip the host: segments start after its first "/".
      i += 3;
      while (i < urlUntil && text[i] != '/') ++i;
      continue;
    }
    if (!isTokenCharacter(text[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && isTokenCharacter(text[end])) ++end;
    const std::string_view word = text.substr(i, end - i);
    const bool pathSegment =
        i < urlUntil && i > 0 && text[i - 1] == '/' && word.size() >= 16 && mixesLettersAndDigits(word);
    if (pathSegment || isTokenShaped(word)) {
      result.append(text.substr(copied, i - copied));
      result.append(kRedacted);
      copied = end;
    }
    i = end;
  }
  result.append(text.substr(copied));
  return result;
}

}  // namespace

PrivateValues PrivateValues::ofThisAccount() {
  PrivateValues values;
  if (const char* home = std::getenv("HOME"); home != nullptr) values.homeFolder = home;
  long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(static_cast<std::size_t>(suggested > 0 ? suggested : 16384));
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
    if (found->pw_name != nullptr) values.accountName = found->pw_name;
    if (values.homeFolder.empty() && found->pw_dir != nullptr) values.homeFolder = found->pw_dir;
  }
  return values;
}

std::string redactedText(std::string_view input, const PrivateValues& values) {
  std::string text(input);
  for (const std::string& typed : values.typedValues) {
    if (typed.size() >= 4) text = replacingAll(text, typed, kRedacted);
  }
  // Removing credentials joins the text around them: it goes before the name rules.
  text = withoutURLCredentials(text);
  std::string home = values.homeFolder;
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  if (home.size() > 1) text = replacingAll(text, home, "~", true);
  text = withoutUserFolders(text);
  text = withoutAccountName(text, values.accountName);
  text = withoutAuthorizationValues(text);
  text = withoutTokens(text);
  text = withoutSecretValues(text);
  return text;
}

std::string redactedErrorText(const std::vector<std::string>& lines, const PrivateValues& values, std::size_t lineCount,
                              std::size_t characterLimit) {
  std::size_t first = lines.size() > lineCount ? lines.size() - lineCount : 0;
  std::string text;
  for (std::size_t index = first; index < lines.size(); ++index) {
    if (index > first) text.push_back('\n');
    text += lines[index];
  }
  text = redactedText(text, values);
  if (utf8::characterCount(text) > characterLimit) text = "…" + utf8::suffix(text, characterLimit);
  return text;
}

std::string redactedErrorText(const std::vector<std::string>& lines, std::size_t lineCount,
                              std::size_t characterLimit) {
  return redactedErrorText(lines, PrivateValues{}, lineCount, characterLimit);
}

}  // namespace bnch
