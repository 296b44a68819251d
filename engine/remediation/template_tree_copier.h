#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "engine/platform/file_system_operating.h"
#include "engine/remediation/writer_report.h"

namespace bnch {

// Copies a bundled example project into a new folder of the person's. An item
// whose name begins with "dot." is written with a leading "." instead (templates
// are stored as dot.gitignore so that they travel through tools that hide or
// ignore dot files).
//
// Nothing that exists is touched: an existing destination is left as it is and
// counts as success. A copy that fails halfway removes the folder it created, so
// a later attempt starts clean instead of finding a half project. Never throws;
// the file system must outlive the copier.
class TemplateTreeCopier {
 public:
  explicit TemplateTreeCopier(FileSystemOperating& fs) : fs_(&fs) {}

  WriterReport copy(const std::filesystem::path& source, const std::filesystem::path& destination) const;

  // "dot.gitignore" -> ".gitignore"; other names unchanged.
  static std::string destinationName(std::string_view name);

 private:
  void copyContents(const std::filesystem::path& from, const std::filesystem::path& to) const;

  FileSystemOperating* fs_;
};

}  // namespace bnch
