#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace bnch {

// The fixed lines the remediation jobs show, and the ones composed from a value. The
// Command Line Tools, GitHub and Git lines live beside their rules
// (command_line_tools_label.h, github_device_sign_in.h, tool_install_commands.h).
struct RunnerText {
  static constexpr std::string_view homebrewMissing = "Homebrew isn't available yet — install Homebrew first.";
  static constexpr std::string_view failedToStartPrefix = "Failed to start: ";

  // Homebrew PATH repair.
  static constexpr std::string_view homebrewNotInstalled = "Homebrew isn't installed yet — nothing to repair.";
  static constexpr std::string_view shellenvAlreadyActive =
      "Homebrew's shellenv is already active in ~/.zprofile — re-checking in a fresh shell.";
  static constexpr std::string_view couldNotUpdateZprofilePrefix = "Couldn't update ~/.zprofile: ";
  // "Added Homebrew to your PATH in ~/.zprofile (backup at PATH)."
  static std::string shellenvAdded(const std::filesystem::path& backup);

  // Directory PATH repair (the directory as given, unescaped).
  static std::string directoryAlreadyOnPath(std::string_view directory);
  static std::string directoryAdded(std::string_view directory, const std::filesystem::path& backup);

  // Python with uv.
  static constexpr std::string_view updatingHomebrew = "Updating Homebrew's package list…";
  static constexpr std::string_view homebrewUpdateFailed =
      "Couldn't update Homebrew's package list — continuing with the install. Python may be a "
      "slightly older version than the newest available.";
  static constexpr std::string_view installingPython = "Installing the latest Python with uv…";
  static constexpr std::string_view uvPythonInstallCommand = "uv python install --default";

  // App casks and the Claude Code command-line tool: "Installing NAME with Homebrew…".
  static std::string installingWithHomebrew(std::string_view name);

  // Example projects.
  static std::string templateMissing(std::string_view folderName);

  // Skills fetched from GitHub.
  static std::string fetchingSkill(std::string_view displayName, std::string_view repo);
  static std::string couldNotFetchSkill(std::string_view slug, std::string_view repo);
  static std::string bundledSkillMissing(std::string_view slug);
  // "bnch-skill-SLUG-UUID": the scratch folder's name in the temporary directory.
  static std::string skillScratchName(std::string_view slug, std::string_view uuid);

  // Java.
  static constexpr int fallbackJavaMajor = 25;
  static constexpr std::string_view temurinPasswordPrompt =
      "Enter Mac password to install Temurin to /Library/Java/JavaVirtualMachines/";
  static constexpr std::string_view adoptiumSlow = "Adoptium is responding slowly — still trying…";
  static constexpr std::string_view verifyingChecksum = "Verifying SHA256 checksum…";
  static constexpr std::string_view runningInstaller =
      "Running /usr/sbin/installer (macOS will ask for your password)…";
  static constexpr std::string_view installerCompleted = "Installer completed.";
  static constexpr std::string_view javaHomeAlreadySet = "JAVA_HOME is already set in ~/.zprofile.";
  static constexpr std::string_view javaHomeSuccessful = "Successful — JAVA_HOME is now set.";
  static constexpr std::string_view couldNotSetJavaHomePrefix = "Couldn't set JAVA_HOME: ";
  static std::string javaReleaseFallback();  // names fallbackJavaMajor
  static std::string lookingUpTemurin(int major);
  static std::string installerError(std::string_view message);
  // After the Homebrew cask, which leaves `java` to macOS's own lookup.
  static std::string javaHomeSetAfterCask(const std::filesystem::path& backup);
  // After the Adoptium package.
  static std::string javaHomeSet(const std::filesystem::path& backup);
};

}  // namespace bnch
