#include "engine/probes/java_probe.h"

#include <algorithm>
#include <future>
#include <set>

#include "engine/probes/probe_files.h"
#include "engine/probes/probe_text.h"
#include "engine/probes/property_list.h"

namespace bnch {
namespace {

// The white space of the listing's pattern (\s): space, tab, and the ASCII line
// and page breaks.
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads one listing line of the form
//   ^\s+(\S+)\s+\(([^)]+)\)\s+"([^"]*)"\s+-\s+"[^"]*"\s+(/.+)$
// by hand: every part of the pattern is followed by a character the part cannot
// hold, so one pass without backtracking finds the same groups. (std::regex
// recurses once per character and overflows a thread's stack on long lines.)
class ListingLine {
 public:
  explicit ListingLine(std::string_view text) : text_(text) {}

  std::optional<JDKInfo> read() {
    if (!spaces()) return std::nullopt;
    const std::string_view version = runWhile([](char c) { return !isSpace(c); });
    if (version.empty() || !spaces() || !take('(')) return std::nullopt;
    const std::string_view architecture = runWhile([](char c) { return c != ')'; });
    if (architecture.empty() || !take(')') || !spaces() || !take('"')) return std::nullopt;
    const std::string_view vendor = runWhile([](char c) { return c != '"'; });
    if (!take('"') || !spaces() || !take('-') || !spaces() || !take('"')) return std::nullopt;
    runWhile([](char c) { return c != '"'; });
    if (!take('"') || !spaces()) return std::nullopt;
    // "/" and at least one more character, none of them a line break (what "." matches).
    const std::string_view path = text_.substr(position_);
    if (path.size() < 2 || path.front() != '/' || path.find_first_of("\n\r") != std::string_view::npos) {
      return std::nullopt;
    }
    return JDKInfo{std::string(version), std::string(vendor), std::string(architecture),
                   ProbeText::trimSpacesAndTabs(path)};
  }

 private:
  template <class Predicate>
  std::string_view runWhile(Predicate holds) {
    const std::size_t start = position_;
    while (position_ < text_.size() && holds(text_[position_])) ++position_;
    return text_.substr(start, position_ - start);
  }
  bool spaces() { return !runWhile(isSpace).empty(); }
  bool take(char c) {
    if (position_ >= text_.size() || text_[position_] != c) return false;
    ++position_;
    return true;
  }

  std::string_view text_;
  std::size_t position_ = 0;
};

std::optional<JDKInfo> jdkFromBundle(const FileSystemOperating& fs, const std::string& name) {
  const std::string bundle = std::string(JavaProbe::virtualMachinesFolder) + "/" + name;
  const std::string home = bundle + "/Contents/Home";
  if (auto release = ProbeFiles::readText(fs, home + "/release")) {
    const auto values = JavaProbe::parseReleaseFile(*release);
    const auto version = values.find("JAVA_VERSION");
    if (version != values.end() && JavaProbe::isJavaVersion(version->second)) {
      const auto vendor = values.find("IMPLEMENTOR");
      const auto architecture = values.find("OS_ARCH");
      // The release file says "aarch64" where java_home's listing says "arm64".
      std::string arch = architecture == values.end() ? std::string() : architecture->second;
      if (arch == "aarch64") arch = "arm64";
      return JDKInfo{version->second, vendor == values.end() ? std::string() : vendor->second, std::move(arch), home};
    }
  }
  if (auto bytes = ProbeFiles::readBytes(fs, bundle + "/Contents/Info.plist")) {
    if (auto plist = PropertyList::parse(*bytes)) {
      if (const auto* javaVM = plist->find("JavaVM")) {
        if (const auto* version = javaVM->find("JVMVersion"); version && version->string()) {
          if (JavaProbe::isJavaVersion(*version->string())) return JDKInfo{*version->string(), "", "", home};
        }
      }
    }
  }
  return std::nullopt;
}

}  // namespace

std::vector<JDKInfo> JavaProbe::parseJavaHomeListing(std::string_view listing) {
  std::vector<JDKInfo> jdks;
  for (const auto& text : ProbeText::nonEmptyLines(listing)) {
    if (!ProbeText::isFaithful(text)) continue;
    if (auto jdk = ListingLine(text).read()) jdks.push_back(std::move(*jdk));
  }
  return jdks;
}

bool JavaProbe::isJavaVersion(std::string_view value) {
  // Searches `version "<value>"` for version\s+"(\d+)(?:\.(\d+))? : the word, white
  // space, a quote and a digit (the optional rest never decides a match).
  const std::string text = "version \"" + std::string(value) + "\"";
  constexpr std::string_view word = "version";
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    std::size_t i = at + word.size();
    const std::size_t spacesStart = i;
    while (i < text.size() && isSpace(text[i])) ++i;
    if (i > spacesStart && i + 1 < text.size() && text[i] == '"' && isDigit(text[i + 1])) return true;
  }
  return false;
}

std::map<std::string, std::string> JavaProbe::parseReleaseFile(std::string_view text) {
  std::map<std::string, std::string> values;
  for (std::string line : ProbeText::nonEmptyLines(text)) {
    if (line.ends_with('\r')) line.pop_back();
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = ProbeText::trimSpacesAndTabs(std::string_view(line).substr(0, equals));
    std::string value = ProbeText::trimSpacesAndTabs(std::string_view(line).substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    values[key] = value;
  }
  return values;
}

std::optional<std::string> JavaProbe::javaHomeFromShellOutput(std::string_view output) {
  const auto lines = ProbeText::nonEmptyLines(output);
  for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
    const std::size_t marker = line->find(javaHomeMarker);
    if (marker == std::string::npos) continue;
    std::string value = ProbeText::trimSpacesAndTabs(std::string_view(*line).substr(marker + javaHomeMarker.size()));
    if (value.empty() || !ProbeText::isFaithful(value)) return std::nullopt;
    return value;
  }
  return std::nullopt;
}

std::vector<JDKInfo> JavaProbe::mergeInstalled(const FileSystemOperating& fs, std::vector<JDKInfo> reported,
                                               const std::vector<std::string>& folderNames) {
  const std::string prefix = std::string(virtualMachinesFolder) + "/";
  std::set<std::string> reportedBundles;
  for (const auto& jdk : reported) {
    if (!jdk.path.starts_with(prefix)) continue;
    const std::string rest = jdk.path.substr(prefix.size());
    reportedBundles.insert(rest.substr(0, rest.find('/')));
  }
  for (const auto& name : folderNames) {
    if (reportedBundles.contains(name)) continue;
    if (auto jdk = jdkFromBundle(fs, name)) reported.push_back(std::move(*jdk));
  }
  return reported;
}

ProbeBundle JavaProbe::probe() const {
  auto which = std::async(std::launch::async, [this]() -> std::optional<std::string> {
    const auto answer = process_.askTerminal(std::string(whichPath) + " java");
    if (!answer || answer->exitCode != 0) return std::nullopt;
    std::string path = ProbeText::trimWhitespace(answer->output);
    if (path.empty() || !ProbeText::isFaithful(path)) return std::nullopt;
    return path;
  });
  auto listed = std::async(std::launch::async, [this] {
    const ProbeRun run = process_.run(ProcessRequest{.executable = javaHomePath, .arguments = {"-V"}});
    return run.answered ? parseJavaHomeListing(run.output) : std::vector<JDKInfo>{};
  });
  auto folders =
      std::async(std::launch::async, [this] { return ProbeFiles::entries(fs_, std::string(virtualMachinesFolder)); });
  auto javaHome = std::async(std::launch::async, [this]() -> std::optional<std::string> {
    const auto answer = process_.askTerminal("echo " + std::string(javaHomeMarker) + "$JAVA_HOME");
    if (!answer) return std::nullopt;
    return javaHomeFromShellOutput(answer->output);
  });

  ProbeBundle bundle;
  bundle.whichJava = which.get();
  bundle.jvmDirContents = folders.get();
  bundle.installedJDKs = mergeInstalled(fs_, listed.get(), bundle.jvmDirContents);
  bundle.javaHomeInActiveShell = javaHome.get();
  return bundle;
}

}  // namespace bnch
