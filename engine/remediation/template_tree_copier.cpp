#include "engine/remediation/template_tree_copier.h"

#include <algorithm>

#include "engine/remediation/user_file.h"

namespace bnch {
namespace fs = std::filesystem;

std::string TemplateTreeCopier::destinationName(std::string_view name) {
  constexpr std::string_view prefix = "dot.";
  if (name.size() > prefix.size() && name.starts_with(prefix)) return "." + std::string(name.substr(prefix.size()));
  return std::string(name);
}

void TemplateTreeCopier::copyContents(const fs::path& from, const fs::path& to) const {
  auto names = fs_->contentsOfDirectory(from);
  std::sort(names.begin(), names.end());
  for (const auto& name : names) {
    const fs::path source = from / name;
    const fs::path target = to / destinationName(name);
    if (fs_->directoryExists(source)) {
      fs_->createDirectory(target, false);
      copyContents(source, target);
    } else {
      fs_->copyItem(source, target);
    }
  }
}

WriterReport TemplateTreeCopier::copy(const fs::path& source, const fs::path& destination) const {
  const std::string shown = user_file::displayPath(destination, fs_->homeDirectory());
  if (!fs_->directoryExists(source)) {
    return {{"Couldn't find the bundled project template at " + source.string() + "."}, false};
  }
  if (fs_->fileExists(destination)) {
    return {{"A project already exists at " + shown + " \u2014 leaving it as is."}, true};
  }

  bool created = false;
  try {
    if (destination.has_parent_path()) fs_->createDirectory(destination.parent_path(), true);
    fs_->createDirectory(destination, false);  // fails rather than adopt a folder that appeared meanwhile
    created = true;
    copyContents(source, destination);
  } catch (const std::exception& error) {
    if (created) {
      try {
        fs_->removeItem(destination);
      } catch (const std::exception&) {
      }
    }
    return {{"Couldn't create the project at " + shown + ": " + user_file::describe(error)}, false};
  }
  return {{"Created your project at " + shown + "."}, true};
}

}  // namespace bnch
