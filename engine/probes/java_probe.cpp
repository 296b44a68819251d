#include "engine/probes/java_probe.h"

#include <algorithm>
#include <future>
#include <regex>
#include <set>

#include "engine/probes/probe_files.h"
#include "engine/probes/probe_text.h"
#include "engine/probes/property_list.h"

namespace bnch {
namespace {

// std::regex recurses per character; longer lines are not JDK lines anyway.
constexpr std::size_t longestListingLine = 4096;

std::optional<JDKInfo> jdkFromBundle(const FileSystemOperating& fs, const std::string& name) {
  const std::string bundle = std::string(JavaProbe::virtualMachinesFolder) + "/" + name;
  const std::string home = bundle + "/Contents/Home";
  if (auto release = ProbeFiles::readText(fs, home + "/release")) {
    const auto values = JavaProbe::parseReleaseFile(*release);
    const auto version = values.find("JAVA_VERSION");
    if (version != values.end() && JavaProbe::isJavaVersion(version->second)) {
      const auto vendor = values.find("IMPLEMENTOR");
      return JDKInfo{version->second, vendor == values.end() ? std::string() : vendor->second, "", home};
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
  static const std::regex line(R"re(^\s+(\S+)\s+\(([^)]+)\)\s+"([^"]*)"\s+-\s+"[^"]*"\s+(/.+)$)re");
  std::vector<JDKInfo> jdks;
  for (const auto& text : ProbeText::nonEmptyLines(listing)) {
    if (text.size() > longestListingLine || !ProbeText::isFaithful(text)) continue;
    std::smatch match;
    if (!std::regex_match(text, match, line)) continue;
    if (!match[1].matched || !match[2].matched || !match[3].matched || !match[4].matched) continue;
    jdks.push_back(
        JDKInfo{match[1].str(), match[3].str(), match[2].str(), ProbeText::trimSpacesAndTabs(match[4].str())});
  }
  return jdks;
}

bool JavaProbe::isJavaVersion(std::string_view value) {
  if (value.size() > longestListingLine) return false;
  static const std::regex version(R"re(version\s+"(\d+)(?:\.(\d+))?)re");
  const std::string text = "version \"" + std::string(value) + "\"";
  return std::regex_search(text, version);
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
    const ProbeRun run = process_.run(ProcessRequest{.executable = whichPath, .arguments = {"java"}});
    if (!run.answered || run.exitCode != 0) return std::nullopt;
    std::string path = ProbeText::trimWhitespace(run.output);
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
    const ProbeRun run = process_.loginShell("echo " + std::string(javaHomeMarker) + "$JAVA_HOME");
    if (!run.answered) return std::nullopt;
    return javaHomeFromShellOutput(run.output);
  });

  ProbeBundle bundle;
  bundle.whichJava = which.get();
  bundle.jvmDirContents = folders.get();
  bundle.installedJDKs = mergeInstalled(fs_, listed.get(), bundle.jvmDirContents);
  bundle.javaHomeInActiveShell = javaHome.get();
  return bundle;
}

}  // namespace bnch
