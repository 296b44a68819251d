#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/config/product_names.h"
#include "engine/platform/event_stream.h"
#include "engine/platform/file_system_operating.h"
#include "engine/platform/process_running.h"
#include "engine/platform/shell_runner.h"
#include "engine/remediation/privileged_executor.h"

namespace bnch {

// Installs Homebrew with the official install script and puts it on the person's
// PATH through ~/.zprofile.
//
// install() returns at once; the work runs on a thread of its own. The stream
// carries output lines and ends with exactly one completed or canceled:
// - completed(-1): the privilege context could not be prepared ("Failed to set up
//   privileged executor: …") or the script could not start ("Failed to start
//   Homebrew installer: …");
// - canceled: the consumer canceled (the script's process group is terminated),
//   or the script failed after the password dialog was dismissed or refused;
// - completed(0): installed, followed by the shellenv step's lines;
// - completed(1): the script ended with 0 but left no brew behind (its download
//   failed, so the shell ran an empty script): "Couldn't install Homebrew: …";
// - completed(code): the script's own failure.
// The privilege context's folder is removed before the last event, on every path.
//
// Ownership: the installer is a value holding shared services; the stream's
// thread keeps its own copies, so the installer may be destroyed meanwhile.
// Dropping the stream cancels the work. When `cancellable` is given, the running
// script is registered with it, so the remediation's cancel reaches it too.
class HomebrewInstaller {
 public:
  using Event = StreamEvent;

  static constexpr std::string_view prompt = "Enter Mac password to install Homebrew.";
  static constexpr std::string_view notInstalled =
      "Couldn't install Homebrew: the install script ended without installing brew. Check your internet "
      "connection and try again.";
  static constexpr std::string_view installScriptURL =
      "https://raw.githubusercontent.com/Homebrew/install/HEAD/install.sh";

  HomebrewInstaller(std::shared_ptr<ProcessRunning> process, std::shared_ptr<FileSystemOperating> fs,
                    PrivilegedExecutor executor, Environment applicationEnvironment, ProductNames config);

  EventStream<Event> install(std::shared_ptr<CancellableProcess> cancellable = nullptr) const;

  // `/bin/bash -c "$(curl -fsSL <install script>)"`'s argument.
  static std::string installCommand();
  // True when a lower-cased transcript shows that the password dialog was
  // dismissed or the password refused.
  static bool transcriptShowsCanceled(std::string_view lowerTranscript);

 private:
  std::shared_ptr<ProcessRunning> process_;
  std::shared_ptr<FileSystemOperating> fs_;
  PrivilegedExecutor executor_;
  Environment applicationEnvironment_;
  ProductNames config_;
};

// Appends `eval "$(<brew> shellenv)"` to ~/.zprofile for the brew found at one of
// Homebrew's two places, reporting each step as a progress line through `emit`.
// Never throws; a failure is a line beginning "Couldn't".
void addBrewShellenvToZprofile(FileSystemOperating& fs, const ProductNames& config,
                               const std::function<void(std::string)>& emit);

}  // namespace bnch
