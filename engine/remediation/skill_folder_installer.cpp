#include "engine/remediation/skill_folder_installer.h"

#include "engine/remediation/user_file.h"

namespace bnch {
namespace fs = std::filesystem;

namespace {

std::string joined(const std::vector<std::string>& parts, const std::string& separator) {
  std::string text;
  for (const auto& part : parts) {
    if (!text.empty()) text += separator;
    text += part;
  }
  return text;
}

}  // namespace

const std::vector<SkillFolderInstaller::Agent>& SkillFolderInstaller::agents() {
  static const std::vector<Agent> list{{"Claude", ".claude"}, {"Codex", ".codex"}, {"Zed", ".agents"}};
  return list;
}

WriterReport SkillFolderInstaller::install(const fs::path& source, const std::string& name) const {
  if (!fs_->directoryExists(source)) return {{"Couldn't find the skill files for " + name + "."}, false};

  const fs::path home = fs_->homeDirectory();
  std::vector<const Agent*> present;
  for (const auto& agent : agents()) {
    if (fs_->directoryExists(home / agent.configDir)) present.push_back(&agent);
  }
  if (present.empty()) return {{"No AI agent is set up yet \u2014 nothing to install " + name + " into."}, true};

  WriterReport report;
  std::vector<std::string> installed;
  std::vector<std::string> alreadyHad;
  for (const Agent* agent : present) {
    const fs::path skills = home / agent->configDir / "skills";
    const fs::path destination = skills / name;
    if (fs_->fileExists(destination)) {
      alreadyHad.push_back(agent->label);
      continue;
    }
    try {
      fs_->createDirectory(skills, true);
      fs_->copyItem(source, destination);
      installed.push_back(agent->label);
    } catch (const std::exception& error) {
      report.lines.push_back("Couldn't install " + name + ": " + user_file::describe(error));
      report.succeeded = false;
    }
  }
  if (!installed.empty()) report.lines.push_back("Installed " + name + " for " + joined(installed, ", ") + ".");
  if (!alreadyHad.empty()) {
    report.lines.push_back(joined(alreadyHad, ", ") + " already had " + name + " \u2014 left as is.");
  }
  return report;
}

}  // namespace bnch
