#include "engine/remediation/install_output_filter.h"

#include <regex>

#include "engine/platform/text.h"

namespace bnch {

namespace {

// A system log line: date, time with milliseconds, process[pid:thread], a space.
const std::regex& systemLogPrefix() {
  static const std::regex pattern(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3,} \S+\[\d+:\d+\] )");
  return pattern;
}

constexpr const char* documentationSite = "docs.brew.sh";
constexpr int nextStepsLineLimit = 31;

}  // namespace

std::vector<std::string> InstallOutputFilter::filter(const std::vector<std::string>& lines) {
  std::vector<std::string> shown;
  bool insideNextSteps = false;
  int counter = 0;
  for (const auto& line : lines) {
    const std::string trimmed = trimmedText(line);
    if (insideNextSteps) {
      ++counter;
      if (line.find(documentationSite) != std::string::npos) {
        insideNextSteps = false;
        continue;
      }
      const bool instruction =
          trimmed.empty() || trimmed.starts_with("-") || line.starts_with(" ") || line.starts_with("\t");
      if (instruction && counter < nextStepsLineLimit) continue;
      insideNextSteps = false;
      shown.push_back(line);
      continue;
    }
    if (trimmed.starts_with("==> Next steps:")) {
      insideNextSteps = true;
      counter = 0;
      continue;
    }
    if (std::regex_search(line, systemLogPrefix())) continue;
    shown.push_back(line);
    if (line.find("do not provide support for this old version") != std::string::npos) shown.push_back(oldMacOSNote);
  }
  return shown;
}

}  // namespace bnch
