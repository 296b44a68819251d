#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/platform/file_system_operating.h"
#include "engine/probes/probe_process.h"
#include "engine/probes/system_profile.h"

namespace bnch {

// Gathers the Java state of the Mac: which `java` a new Terminal window finds,
// the JDKs `java_home -V` reports, the JDK bundles in
// /Library/Java/JavaVirtualMachines (adding those java_home did not report,
// read from their `release` file or Info.plist), and JAVA_HOME in a new Terminal
// window. Read-only. `probe` blocks until its four checks, run concurrently, have
// finished; the file system must outlive the call.
class JavaProbe {
 public:
  static constexpr const char* javaHomePath = "/usr/libexec/java_home";
  static constexpr const char* whichPath = "/usr/bin/which";
  static constexpr std::string_view virtualMachinesFolder = "/Library/Java/JavaVirtualMachines";
  static constexpr std::string_view javaHomeMarker = "__BNCH_JAVA_HOME__:";

  JavaProbe(ProbeProcess process, const FileSystemOperating& fs) : process_(std::move(process)), fs_(fs) {}

  ProbeBundle probe() const;

  // The JDK lines of `java_home -V`'s listing, in order; other lines are skipped.
  static std::vector<JDKInfo> parseJavaHomeListing(std::string_view listing);
  // True when `version "<value>"` matches version\s+"(\d+)(?:\.(\d+))?.
  static bool isJavaVersion(std::string_view value);
  // A `release` file's key=value lines (quotes removed from quoted values).
  static std::map<std::string, std::string> parseReleaseFile(std::string_view text);
  // JAVA_HOME from the login shell's output: the last line holding the marker decides.
  static std::optional<std::string> javaHomeFromShellOutput(std::string_view output);
  // Reported JDKs, then those found in bundle folders java_home did not report.
  static std::vector<JDKInfo> mergeInstalled(const FileSystemOperating& fs, std::vector<JDKInfo> reported,
                                             const std::vector<std::string>& folderNames);

 private:
  ProbeProcess process_;
  const FileSystemOperating& fs_;
};

}  // namespace bnch
