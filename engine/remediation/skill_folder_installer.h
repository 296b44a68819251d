#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "engine/platform/file_system_operating.h"
#include "engine/remediation/writer_report.h"

namespace bnch {

// Copies a skill folder into the skills folder of every AI agent set up on this
// Mac (~/.claude/skills, ~/.codex/skills, ~/.agents/skills). An agent that
// already has a folder of that name keeps it untouched. Never throws; the file
// system must outlive the installer.
class SkillFolderInstaller {
 public:
  struct Agent {
    std::string label;
    std::string configDir;  // folder under the home folder

    bool operator==(const Agent&) const = default;
  };

  // Claude, Codex, Zed, in that order.
  static const std::vector<Agent>& agents();

  explicit SkillFolderInstaller(FileSystemOperating& fs) : fs_(&fs) {}

  // `name` is the skill's slug, used as the folder name.
  WriterReport install(const std::filesystem::path& source, const std::string& name) const;

 private:
  FileSystemOperating* fs_;
};

}  // namespace bnch
