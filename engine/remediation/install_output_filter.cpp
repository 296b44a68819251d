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

// Whether the line has the separators of that prefix's date and time where the
// pattern puts them. Nearly every line fails this, so the pattern runs only for
// lines that may be log lines: installers print tens of thousands of lines.
bool mayBeSystemLogLine(std::string_view line) {
  return line.size() > 19 && line[4] == '-' && line[7] == '-' && line[10] == ' ' && line[13] == ':' &&
         line[16] == ':' && line[19] == '.';
}

constexpr const char* documentationSite = "docs.brew.sh";
constexpr int nextStepsLineLimit = 31;

}  // namespace

std::vector<std::string> InstallOutputFilter::filter(const std::vector<std::string>& lines) {
  std::vector<std::string> shown;
  Incremental incremental;
  for (const auto& line : lines) incremental.push(line, shown);
  return shown;
}

void InstallOutputFilter::Incremental::push(const std::string& line, std::vector<std::string>& shown) {
  const std::string_view trimmed = trimmedView(line);
  if (insideNextSteps_) {
    ++counter_;
    if (line.find(documentationSite) != std::string::npos) {
      insideNextSteps_ = false;
      return;
    }
    const bool instruction =
        trimmed.empty() || trimmed.starts_with("-") || line.starts_with(" ") || line.starts_with("\t");
    if (instruction && counter_ < nextStepsLineLimit) return;
    insideNextSteps_ = false;
    shown.push_back(line);
    return;
  }
  if (trimmed.starts_with("==> Next steps:")) {
    insideNextSteps_ = true;
    counter_ = 0;
    return;
  }
  // The pattern is anchored: trying it only at the start keeps a 10 MB line cheap.
  if (mayBeSystemLogLine(line) && std::regex_search(line, systemLogPrefix(), std::regex_constants::match_continuous)) {
    return;
  }
  shown.push_back(line);
  if (line.find("do not provide support for this old version") != std::string::npos) shown.push_back(oldMacOSNote);
}

}  // namespace bnch
