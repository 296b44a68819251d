#include "engine/remediation/runner_text.h"

namespace bnch {

std::string RunnerText::shellenvAdded(const std::filesystem::path& backup) {
  return "Added Homebrew to your PATH in ~/.zprofile (backup at " + backup.string() + ").";
}

std::string RunnerText::directoryAlreadyOnPath(std::string_view directory) {
  return "`" + std::string(directory) + "` is already on your PATH in ~/.zprofile — nothing to do.";
}

std::string RunnerText::directoryAdded(std::string_view directory, const std::filesystem::path& backup) {
  return "Added `" + std::string(directory) + "` to your PATH in ~/.zprofile (backup at " + backup.string() + ").";
}

std::string RunnerText::installingWithHomebrew(std::string_view name) {
  return "Installing " + std::string(name) + " with Homebrew…";
}

std::string RunnerText::templateMissing(std::string_view folderName) {
  return "Couldn't find the bundled " + std::string(folderName) +
         " template in the app — this build may be missing its project resources.";
}

std::string RunnerText::fetchingSkill(std::string_view displayName, std::string_view repo) {
  return "Fetching the " + std::string(displayName) + " skill from " + std::string(repo) + "…";
}

std::string RunnerText::couldNotFetchSkill(std::string_view slug, std::string_view repo) {
  return "Couldn't fetch " + std::string(slug) + " from " + std::string(repo) + ".";
}

std::string RunnerText::bundledSkillMissing(std::string_view slug) {
  return "Couldn't find the bundled " + std::string(slug) +
         " skill in the app — this build may be missing its skill resources.";
}

std::string RunnerText::skillScratchName(std::string_view slug, std::string_view uuid) {
  return "bnch-skill-" + std::string(slug) + "-" + std::string(uuid);
}

std::string RunnerText::javaReleaseFallback() {
  return "Couldn't check the newest Java release — installing Java " + std::to_string(fallbackJavaMajor) +
         " (the current LTS) instead.";
}

std::string RunnerText::lookingUpTemurin(int major) {
  return "Looking up Temurin " + std::to_string(major) + " on Adoptium…";
}

std::string RunnerText::installerError(std::string_view message) { return "Error: " + std::string(message); }

std::string RunnerText::javaHomeSetAfterCask(const std::filesystem::path& backup) {
  return "Set JAVA_HOME in ~/.zprofile (macOS finds `java` on its own; backup at " + backup.string() + ").";
}

std::string RunnerText::javaHomeSet(const std::filesystem::path& backup) {
  return "Set JAVA_HOME in ~/.zprofile (backup at " + backup.string() + ").";
}

}  // namespace bnch
