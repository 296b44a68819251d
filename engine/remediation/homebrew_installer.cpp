#include "engine/remediation/homebrew_installer.h"

#include <array>
#include <thread>
#include <utility>

#include "engine/contracts/homebrew_contract.h"
#include "engine/platform/process_environment.h"
#include "engine/remediation/file_append_writer.h"
#include "engine/remediation/install_transcript.h"
#include "engine/remediation/tool_install_commands.h"

namespace bnch {

namespace {

struct InstallJob {
  std::shared_ptr<ProcessRunning> process;
  std::shared_ptr<FileSystemOperating> fs;
  PrivilegedExecutor executor;
  Environment applicationEnvironment;
  ProductNames config;
  std::shared_ptr<LiveProcessCancellation> cancellation;
  EventStream<StreamEvent>::Continuation out;

  void emit(std::string line) const { out.yield(StreamEvent::output(std::move(line))); }

  void finish(StreamEvent last) const {
    out.yield(std::move(last));
    out.finish();
  }

  void run() const {
    std::optional<PrivilegeContext> context;
    try {
      context.emplace(executor.prepare(std::string(HomebrewInstaller::prompt)));
    } catch (const std::exception& error) {
      emit(std::string("Failed to set up privileged executor: ") + error.what());
      finish(StreamEvent::completed(-1));
      return;
    }
    Environment environment = overlaidEnvironment(applicationEnvironment, context->environment());
    environment[std::string(HomebrewContract::nonInteractiveVariable)] = "1";
    const InstallAttempt attempt = runInstallAttempt(*process,
                                                     {.executable = std::string(HomebrewContract::installScriptShell),
                                                      .arguments = {"-c", HomebrewInstaller::installCommand()},
                                                      .environment = std::move(environment)},
                                                     cancellation, out, "Failed to start Homebrew installer: ");
    context->cleanup();
    if (!attempt.started) return finish(StreamEvent::completed(-1));
    if (attempt.canceled) return finish(StreamEvent::canceled());
    // `bash -c "$(curl …)"` runs an empty script, and exits 0, when the download
    // fails: success counts only when a brew is there afterwards.
    if (attempt.exitCode == 0 && !HomebrewContract::findBrew(*fs)) {
      emit(std::string(HomebrewInstaller::notInstalled));
      return finish(StreamEvent::completed(1));
    }
    if (attempt.exitCode == 0) {
      addBrewShellenvToZprofile(*fs, config, [this](std::string line) { emit(std::move(line)); });
      return finish(StreamEvent::completed(0));
    }
    if (HomebrewInstaller::transcriptShowsCanceled(attempt.transcript.text())) return finish(StreamEvent::canceled());
    finish(StreamEvent::completed(attempt.exitCode));
  }
};

}  // namespace

HomebrewInstaller::HomebrewInstaller(std::shared_ptr<ProcessRunning> process, std::shared_ptr<FileSystemOperating> fs,
                                     PrivilegedExecutor executor, Environment applicationEnvironment,
                                     ProductNames config)
    : process_(std::move(process)),
      fs_(std::move(fs)),
      executor_(std::move(executor)),
      applicationEnvironment_(std::move(applicationEnvironment)),
      config_(std::move(config)) {}

std::string HomebrewInstaller::installCommand() {
  return "/bin/bash -c \"$(curl -fsSL " + std::string(installScriptURL) + ")\"";
}

bool HomebrewInstaller::transcriptShowsCanceled(std::string_view lowerTranscript) {
  static constexpr std::array<std::string_view, 6> markers{"user canceled",          "execution error: user canceled",
                                                           "sudo_askpass",           "askpass",
                                                           "a password is required", "authentication failed"};
  return InstallTranscript::containsAny(lowerTranscript, markers);
}

EventStream<HomebrewInstaller::Event> HomebrewInstaller::install(
    std::shared_ptr<CancellableProcess> cancellable) const {
  auto [stream, continuation] = EventStream<Event>::make();
  auto cancellation = std::make_shared<LiveProcessCancellation>();
  if (cancellable) cancellable->setCurrent(cancellation);
  continuation.onTermination([cancellation](StreamTermination how) {
    if (how == StreamTermination::canceled) cancellation->cancel();
  });
  InstallJob job{process_, fs_, executor_, applicationEnvironment_, config_, cancellation, continuation};
  std::thread([job = std::move(job)] { job.run(); }).detach();
  return std::move(stream);
}

void addBrewShellenvToZprofile(FileSystemOperating& fs, const ProductNames& config,
                               const std::function<void(std::string)>& emit) {
  const auto brew = HomebrewContract::findBrew(fs);
  if (!brew) {
    emit("Note: brew not found in expected locations after install; skipping ~/.zprofile shellenv append.");
    return;
  }
  FileAppendWriter writer(fs.homeDirectory() / ".zprofile", fs, config);
  try {
    const auto preview = writer.preview(homebrewShellenvLine(*brew), "Homebrew shellenv", "brew shellenv",
                                        FileAppendWriter::KeyDetection::ignoringCommentLines);
    if (preview.alreadySet) {
      emit("brew shellenv already active in ~/.zprofile — skipping.");
      return;
    }
    emit("Appending brew shellenv to ~/.zprofile (so brew is fully integrated in new shells).");
    writer.apply(preview);
    emit("Appended. Backup at " + preview.backupPath.string() + ".");
  } catch (const FileAppendWriter::WriteError& error) {
    emit("Couldn't append brew shellenv to ~/.zprofile: " + error.description());
  }
}

}  // namespace bnch
