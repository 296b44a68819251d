#include "engine/remediation/github_device_sign_in.h"
#include "engine/platform/text.h"

#include <algorithm>
#include <regex>

namespace bnch {
namespace {

std::optional<std::string> firstMatch(std::string_view line, const std::regex& pattern) {
  std::match_results<std::string_view::const_iterator> match;
  if (!std::regex_search(line.begin(), line.end(), match, pattern)) return std::nullopt;
  return match.str();
}

}  // namespace

std::optional<GitHubDeviceSignInScanner::BrowserRequest> GitHubDeviceSignInScanner::scan(std::string_view line) {
  static const std::regex kCode("[A-Z0-9]{4}-[A-Z0-9]{4}");
  static const std::regex kDeviceAddress(R"(https://github\.com/login/device)");
  const std::string lower = lowercasedASCII(line);
  if (!code_ && lower.find("code") != std::string::npos) code_ = firstMatch(line, kCode);
  if (browserRequested_) return std::nullopt;
  std::optional<std::string> url = firstMatch(line, kDeviceAddress);
  if (!url && lower.find("open github.com in your browser") != std::string::npos) {
    url = std::string(GitHubText::deviceAddress);
  }
  if (!url) return std::nullopt;
  browserRequested_ = true;
  return BrowserRequest{std::move(*url), code_};
}

}  // namespace bnch
