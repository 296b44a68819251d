#include "engine/remediation/command_line_tools_label.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <exception>
#include <vector>

#include "engine/platform/shell_quote.h"
#include "engine/platform/text.h"

namespace bnch {
namespace {

std::vector<std::uint64_t> digitRuns(std::string_view text) {
  std::vector<std::uint64_t> runs;
  std::size_t i = 0;
  while (i < text.size()) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
      ++i;
      continue;
    }
    std::uint64_t value = 0;
    bool fits = true;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
      const auto digit = static_cast<std::uint64_t>(text[i] - '0');
      if (value > (UINT64_MAX - digit) / 10) fits = false;
      if (fits) value = value * 10 + digit;
    }
    runs.push_back(fits ? value : 0);
  }
  return runs;
}

std::string_view trimSpacesAndTabs(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

bool commandLineToolsLabelLess(std::string_view a, std::string_view b) {
  const std::vector<std::uint64_t> left = digitRuns(a);
  const std::vector<std::uint64_t> right = digitRuns(b);
  if (left != right) {
    return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end());
  }
  return a < b;
}

bool isBetaCommandLineToolsLabel(std::string_view label) {
  constexpr std::string_view beta = "beta";
  return std::search(label.begin(), label.end(), beta.begin(), beta.end(),
                     [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; }) != label.end();
}

std::optional<std::string> parseCommandLineToolsLabel(std::string_view listing) {
  std::vector<std::string> releases;
  std::vector<std::string> betas;
  for (const std::string& line : nonEmptyLines(listing)) {
    const std::size_t label = line.find("Label:");
    if (label == std::string::npos || line.find("Command Line Tools") == std::string::npos) {
      continue;
    }
    const std::string_view candidate =
        trimSpacesAndTabs(std::string_view(line).substr(label + std::string_view("Label:").size()));
    if (candidate.empty()) continue;
    (isBetaCommandLineToolsLabel(candidate) ? betas : releases).emplace_back(candidate);
  }
  const std::vector<std::string>& pool = releases.empty() ? betas : releases;
  if (pool.empty()) return std::nullopt;
  return *std::max_element(pool.begin(), pool.end(),
                           [](const auto& a, const auto& b) { return commandLineToolsLabelLess(a, b); });
}

CommandLineToolsLookup lookUpCommandLineToolsLabel(const std::function<std::string()>& list) {
  CommandLineToolsLookup lookup;
  while (lookup.attempts < 2 && !lookup.label) {
    ++lookup.attempts;
    try {
      lookup.listing = list();
    } catch (const std::exception&) {
      lookup.listing.clear();
    }
    lookup.label = parseCommandLineToolsLabel(lookup.listing);
  }
  return lookup;
}

std::string softwareUpdateListingSummary(std::string_view listing) {
  constexpr std::size_t kLimit = 700;
  const std::string trimmed = trimmedText(listing);
  if (trimmed.empty()) return "(softwareupdate -l produced no output)";
  if (trimmed.size() <= kLimit) return trimmed;
  std::size_t start = trimmed.size() - kLimit;
  while (start < trimmed.size() && (static_cast<unsigned char>(trimmed[start]) & 0xC0) == 0x80) {
    ++start;
  }
  return "…(truncated)\n" + trimmed.substr(start);
}

std::string commandLineToolsInstallScript(std::string_view label) {
  return "/usr/sbin/softwareupdate -i " + shellSingleQuote(label) +
         " --verbose\n"
         "/bin/rm -f " +
         std::string(kCommandLineToolsMarker) +
         "\n"
         "/usr/bin/xcode-select --switch /Library/Developer/CommandLineTools 2>/dev/null || "
         "true\n"
         "if [ -d /Library/Developer/CommandLineTools ]; then exit 0; else exit 1; fi";
}

}  // namespace bnch
