#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "engine/platform/file_system_operating.h"
#include "engine/remediation/project_template.h"

namespace bnch {

// Finds the application's bundled resources: the folder that holds
// "example-projects" and "skills".
//
// Places tried, first match wins:
//  1. an explicit folder (Options::resourcesDirectory), e.g. from a command line;
//  2. the folder named by the environment variable BNCH_RESOURCES_DIR;
//  3. from the executable's folder upwards: "Resources" beside it or above it
//     (an installed application: App.app/Contents/MacOS/App finds
//     App.app/Contents/Resources) or "resources" (a build tree inside the
//     source tree finds <source>/resources);
//  4. the source tree's resources folder this program was built from.
// A candidate counts only when it holds an "example-projects" or "skills" folder.
// Reads only; may be used from any thread. The file system must outlive it.
class ResourceLocator {
 public:
  static constexpr const char* kEnvironmentVariable = "BNCH_RESOURCES_DIR";

  struct Options {
    std::optional<std::filesystem::path> resourcesDirectory;
    // The running program; absent: currentExecutablePath().
    std::optional<std::filesystem::path> executablePath;
    bool useEnvironment = true;
    bool useSourceTree = true;
  };

  explicit ResourceLocator(const FileSystemOperating& fs) : ResourceLocator(fs, Options{}) {}
  ResourceLocator(const FileSystemOperating& fs, Options options);

  std::optional<std::filesystem::path> resourcesDirectory() const;
  // <resources>/example-projects/<folder>, when it exists.
  std::optional<std::filesystem::path> exampleProject(ProjectTemplate projectTemplate) const;
  // <resources>/skills/<name>, when it exists.
  std::optional<std::filesystem::path> skill(std::string_view name) const;

  // This process's executable (macOS: the loader's answer; Linux: /proc/self/exe);
  // nothing where the platform cannot tell.
  static std::optional<std::filesystem::path> currentExecutablePath();

 private:
  bool holdsResources(const std::filesystem::path& folder) const;

  const FileSystemOperating* fs_;
  Options options_;
};

}  // namespace bnch
