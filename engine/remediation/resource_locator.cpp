#include "engine/remediation/resource_locator.h"

#include <cstdlib>
#include <string>
#include <vector>

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#elif defined(__linux__)
#include <unistd.h>
#endif

namespace bnch {
namespace fs = std::filesystem;

ResourceLocator::ResourceLocator(const FileSystemOperating& fs, Options options)
    : fs_(&fs), options_(std::move(options)) {}

std::optional<fs::path> ResourceLocator::currentExecutablePath() {
#if defined(__APPLE__)
  std::uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::vector<char> buffer(size + 1, '\0');
  if (_NSGetExecutablePath(buffer.data(), &size) != 0) return std::nullopt;
  std::error_code error;
  fs::path resolved = fs::weakly_canonical(fs::path(buffer.data()), error);
  return error ? fs::path(buffer.data()) : resolved;
#elif defined(__linux__)
  std::vector<char> buffer(4096);
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0) return std::nullopt;
  return fs::path(std::string(buffer.data(), static_cast<std::size_t>(length)));
#else
  return std::nullopt;
#endif
}

bool ResourceLocator::holdsResources(const fs::path& folder) const {
  return fs_->directoryExists(folder / "example-projects") || fs_->directoryExists(folder / "skills");
}

std::optional<fs::path> ResourceLocator::resourcesDirectory() const {
  if (options_.resourcesDirectory && holdsResources(*options_.resourcesDirectory)) return options_.resourcesDirectory;

  if (options_.useEnvironment) {
    if (const char* value = std::getenv(kEnvironmentVariable); value != nullptr && value[0] != '\0') {
      if (holdsResources(value)) return fs::path(value);
    }
  }

  const auto executable = options_.executablePath ? options_.executablePath : currentExecutablePath();
  if (executable && executable->has_parent_path()) {
    for (fs::path folder = executable->parent_path();; folder = folder.parent_path()) {
      for (const char* name : {"Resources", "resources"}) {
        if (holdsResources(folder / name)) return folder / name;
      }
      if (!folder.has_parent_path() || folder.parent_path() == folder) break;
    }
  }

#ifdef BNCH_SOURCE_RESOURCES_DIR
  if (options_.useSourceTree && holdsResources(BNCH_SOURCE_RESOURCES_DIR)) return fs::path(BNCH_SOURCE_RESOURCES_DIR);
#endif
  return std::nullopt;
}

std::optional<fs::path> ResourceLocator::exampleProject(ProjectTemplate projectTemplate) const {
  const auto resources = resourcesDirectory();
  if (!resources) return std::nullopt;
  fs::path folder = *resources / "example-projects" / std::string(folderName(projectTemplate));
  if (!fs_->directoryExists(folder)) return std::nullopt;
  return folder;
}

std::optional<fs::path> ResourceLocator::skill(std::string_view name) const {
  const auto resources = resourcesDirectory();
  if (!resources || name.empty() || name.find('/') != std::string_view::npos || name == "." || name == "..") {
    return std::nullopt;
  }
  fs::path folder = *resources / "skills" / std::string(name);
  if (!fs_->directoryExists(folder)) return std::nullopt;
  return folder;
}

}  // namespace bnch
