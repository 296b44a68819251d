#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/platform/file_system_operating.h"
#include "engine/platform/shell_runner.h"
#include "engine/probes/probe_process.h"
#include "engine/probes/system_profile.h"

namespace bnch {

// The application's own environment values the profile reads.
struct ProfilerEnvironment {
  std::optional<std::string> shell;  // SHELL
  std::optional<std::string> user;   // USER, or else the login name of the current user

  static ProfilerEnvironment current();
};

// Takes a snapshot of the Mac. `profile` starts every probe as a concurrent task
// (each program it runs under ProbeProcess's time limit), waits for all, and
// returns the complete record; it never throws, and a probe that fails gives its
// empty value (absent, false, `unknown`, empty list), except the administrator
// probe, which gives true. A program's answer that is not UTF-8 counts as no
// answer; in line-by-line answers only the lines that are not UTF-8 are dropped.
// The shell runner's process runner and the file system must outlive the call;
// `profile` may be called from any thread. `environment` is usually
// ProfilerEnvironment::current(), read by the caller.
class SystemProfiler {
 public:
  static constexpr std::string_view systemVersionPlist = "/System/Library/CoreServices/SystemVersion.plist";

  SystemProfiler(const ShellRunner& shell, const FileSystemOperating& fs, ProfilerEnvironment environment,
                 std::chrono::milliseconds timeLimit = ProbeProcess::defaultTimeLimit);

  SystemProfile profile() const;

  // The single probes, each blocking; `profile` runs them concurrently.
  Architecture architecture() const;
  OperatingSystemVersion macosVersion() const;
  Shell shell() const;
  std::optional<std::string> homebrew() const;
  std::optional<std::string> sdkmanRoot() const;
  std::optional<std::string> miseExecutable() const;
  std::optional<std::string> folderUnderHome(std::string_view name) const;  // jenv, asdf
  AITooling aiTooling() const;
  Terminals terminals() const;
  MarkdownEditors markdownEditors() const;
  bool isAdministrator() const;

  // "/Applications/<name>" or "~/Applications/<name>" is a folder.
  bool applicationExists(std::string_view appName) const;
  // `which <name>` answers in a new Terminal window, or a Homebrew bin folder holds
  // an executable of that name.
  bool commandExists(std::string_view name) const;
  // Every executable of that name `which -a` lists in a new Terminal window, plus the
  // usual install places and `extraCandidates` that exist; sorted, no duplicates.
  std::vector<std::string> cliLocations(std::string_view name, const std::vector<std::string>& extraCandidates) const;

  // The rules applied to the programs' answers.
  static Shell shellFromVariable(const std::optional<std::string>& value);
  static OperatingSystemVersion versionFromText(std::string_view productVersion);
  static std::optional<bool> administratorFromAnswer(std::string_view answer);  // nothing: no verdict

 private:
  ProbeProcess process_;
  const FileSystemOperating& fs_;
  ProfilerEnvironment environment_;
};

}  // namespace bnch
