#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "engine/platform/file_system_operating.h"
#include "engine/platform/process_running.h"

namespace bnch {

// A prepared privilege context: a private temporary folder holding `askpass.sh`
// (which asks macOS for the password in its own dialog) and a `sudo` wrapper that
// runs `/usr/bin/sudo -A`, plus the two variables that make unattended installers
// use them: `PATH` (the folder first) and `SUDO_ASKPASS`.
//
// Ownership: the context owns the folder. It is move-only; cleanup() removes the
// folder (errors ignored) and is idempotent, and the destructor runs it, so the
// folder is gone after every ending of the step that prepared it, including an
// exception. Callers run cleanup() explicitly before reporting their outcome so
// that nothing is left when the person sees it. Not thread-safe; one context
// belongs to one privileged run and is never shared.
class PrivilegeContext {
 public:
  PrivilegeContext(std::shared_ptr<FileSystemOperating> fs, std::filesystem::path folder, Environment environment);
  ~PrivilegeContext();
  PrivilegeContext(PrivilegeContext&& other) noexcept;
  PrivilegeContext& operator=(PrivilegeContext&& other) noexcept;
  PrivilegeContext(const PrivilegeContext&) = delete;
  PrivilegeContext& operator=(const PrivilegeContext&) = delete;

  // Exactly two entries: PATH and SUDO_ASKPASS. Lay them over the application's
  // environment; these values win.
  const Environment& environment() const { return environment_; }
  const std::filesystem::path& folder() const { return folder_; }
  void cleanup();

 private:
  std::shared_ptr<FileSystemOperating> fs_;
  std::filesystem::path folder_;
  Environment environment_;
};

// Prepares privilege contexts. The password never passes through this program:
// macOS's dialog hands it straight to `sudo`, so it reaches no file, log line,
// usage event or progress line.
//
// A value, copied freely; prepare() may be called from any thread. Failure: the
// file system's error (FileSystemError) is thrown, after removing whatever was
// created; callers report "Failed to set up privileged executor: " + description.
class PrivilegedExecutor {
 public:
  struct Options {
    std::filesystem::path temporaryDirectory;    // the user's temporary folder
    std::optional<std::string> applicationPath;  // the application's own PATH, if it has one
    std::string dialogTitle;                     // the product's display name

    // TMPDIR (else "/tmp"), the process's PATH, and the dialog title given (the product's display name).
    static Options fromProcess(std::string dialogTitle);
  };

  static constexpr const char* folderPrefix = "bnch-priv-";
  static constexpr const char* fallbackPath = "/usr/bin:/bin:/usr/sbin:/sbin";

  PrivilegedExecutor(std::shared_ptr<FileSystemOperating> fs, Options options);

  // Creates temporaryDirectory/"bnch-priv-<UUID>" with mode 700 before anything is
  // written into it (so each file is private from its first byte), writes
  // `askpass.sh` and `sudo` with mode 700, and returns the context. Folders of
  // earlier runs whose program was stopped before its clean-up (older than
  // leftoverAge; no privileged run lasts that long) are removed first.
  PrivilegeContext prepare(const std::string& prompt) const;

  static constexpr std::chrono::seconds leftoverAge{3600};

  // The askpass script for a prompt and dialog title. The here-document's
  // delimiter is quoted, so the shell passes the AppleScript through untouched.
  static std::string askpassScript(const std::string& prompt, const std::string& title);
  // The `sudo` wrapper: `#!/bin/bash` and `exec /usr/bin/sudo -A "$@"`.
  static std::string sudoWrapperScript();

  const Options& options() const { return options_; }

 private:
  std::shared_ptr<FileSystemOperating> fs_;
  Options options_;
};

}  // namespace bnch
