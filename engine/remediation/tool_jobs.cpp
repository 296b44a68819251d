// The jobs that install optional tools and languages and set up Git and GitHub.

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <string>
#include <variant>

#include "engine/platform/text.h"
#include "engine/remediation/file_append_writer.h"
#include "engine/remediation/github_device_sign_in.h"
#include "engine/remediation/pkg_installer.h"
#include "engine/remediation/remediation_jobs.h"
#include "engine/remediation/runner_text.h"
#include "engine/remediation/shell_configurator.h"
#include "engine/remediation/zprofile_writer.h"

namespace bnch::jobs {

namespace {

void outputEach(const RemediationJob& job, const std::vector<std::string>& lines) {
  for (const auto& line : lines) job.output(line);
}

ShellConfigurator shellConfigurator(const RemediationJob& job) {
  return ShellConfigurator(job.fs(), job.services().product);
}

// Ends the job with the code, or as canceled when there is none.
void completeOrCancel(const RemediationJob& job, const std::optional<int32_t>& code) {
  if (code) {
    job.complete(*code);
  } else {
    job.canceled();
  }
}

// Writes the one-line JAVA_HOME block to ~/.zprofile. The line to show; false
// when the write failed.
struct JavaHomeResult {
  std::string line;
  bool succeeded = true;
};

JavaHomeResult writeJavaHome(const RemediationJob& job, std::string (*setLine)(const std::filesystem::path& backup)) {
  try {
    ZprofileWriter writer(job.fs(), job.services().product);
    const auto preview = writer.preview({.includePathLine = false});
    if (preview.alreadySet) return {std::string(RunnerText::javaHomeAlreadySet)};
    writer.apply(preview);
    return {setLine(preview.backupPath)};
  } catch (const FileAppendWriter::WriteError& error) {
    return {std::string(RunnerText::couldNotSetJavaHomePrefix) + error.description(), false};
  }
}

// Lets a remediation's cancel reach the Java package installer, whose stream
// stops its download or its installer when cancelled. Detached before the
// stream goes away.
class PackageInstallCancellation final : public ProcessCancellation {
 public:
  explicit PackageInstallCancellation(EventStream<PKGInstallerEvent>* stream) : stream_(stream) {}
  void cancel() override {
    std::lock_guard guard(lock_);
    if (stream_ != nullptr) stream_->cancel();
  }
  void detach() {
    std::lock_guard guard(lock_);
    stream_ = nullptr;
  }

 private:
  std::mutex lock_;
  EventStream<PKGInstallerEvent>* stream_;
};

// The progress line of one installer event (nothing for canceled, and for the
// download reports the throttle skips), and the exit code it sets.
struct PackageProgress {
  std::optional<std::string> line;
  std::optional<int32_t> exitCode;
};

PackageProgress packageProgress(const PKGInstallerEvent& event, int major, JavaDownloadProgressLines& downloads) {
  using E = PKGInstallerEvent;
  return std::visit(
      [&](const auto& value) -> PackageProgress {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, E::Fetching>) {
          return {RunnerText::lookingUpTemurin(major), std::nullopt};
        } else if constexpr (std::is_same_v<T, E::SlowResponse>) {
          return {std::string(RunnerText::adoptiumSlow), std::nullopt};
        } else if constexpr (std::is_same_v<T, E::Downloading>) {
          std::optional<std::uint64_t> total;
          if (value.totalBytes && *value.totalBytes > 0) total = static_cast<std::uint64_t>(*value.totalBytes);
          return {downloads.next(static_cast<std::uint64_t>(std::max<std::int64_t>(value.bytesReceived, 0)), total),
                  std::nullopt};
        } else if constexpr (std::is_same_v<T, E::Verifying>) {
          return {std::string(RunnerText::verifyingChecksum), std::nullopt};
        } else if constexpr (std::is_same_v<T, E::Installing>) {
          return {std::string(RunnerText::runningInstaller), std::nullopt};
        } else if constexpr (std::is_same_v<T, E::Completed>) {
          return {std::string(RunnerText::installerCompleted), 0};
        } else if constexpr (std::is_same_v<T, E::Error>) {
          return {RunnerText::installerError(value.message), 1};
        } else {
          return {};
        }
      },
      event.value);
}

}  // namespace

void installAppCask(const RemediationJob& job, const std::string& cask) {
  if (job.endIfHomebrewMissing()) return;
  job.output(RunnerText::installingWithHomebrew(cask));
  job.forward(
      job.brewRunner().installCask(cask, CaskRecoveryPolicy::empty(), job.privilegedReason(), job.cancellable()));
}

void installClaudeCLI(const RemediationJob& job) {
  static const std::string cask = "claude-code@latest";
  if (job.endIfHomebrewMissing()) return;
  job.output(RunnerText::installingWithHomebrew(cask));
  const auto code = job.relay(
      job.brewRunner().installCask(cask, CaskRecoveryPolicy::empty(), job.privilegedReason(), job.cancellable()));
  if (code == 0) {
    // Best effort: a failure here is reported but leaves the install a success.
    try {
      FileAppendWriter writer(job.fs().homeDirectory() / ".zprofile", job.fs(), job.services().product);
      const auto preview =
          writer.append(std::string(ClaudeAutoUpdateText::line), std::string(ClaudeAutoUpdateText::label),
                        std::string(ClaudeAutoUpdateText::key), FileAppendWriter::KeyDetection::anywhere);
      job.output(preview.alreadySet ? std::string(ClaudeAutoUpdateText::alreadyEnabled)
                                    : ClaudeAutoUpdateText::enabled(preview.backupPath));
    } catch (const FileAppendWriter::WriteError& error) {
      job.output(std::string(ClaudeAutoUpdateText::couldNotEnablePrefix) + error.description());
    }
  }
  completeOrCancel(job, code);
}

void installMise(const RemediationJob& job) {
  const auto code = job.installFormula("mise");
  if (code == 0) outputEach(job, shellConfigurator(job).configureMise());
  completeOrCancel(job, code);
}

void installMiseLanguage(const RemediationJob& job, const MiseLanguage& language) {
  job.output(language.announcement());
  const int32_t code = job.runLoginShell(language.command());
  if (job.isCanceled()) return job.canceled();
  if (code == kCommandNotFoundExitCode) job.output(std::string(kMiseMissing));
  job.complete(code);
}

void installRustup(const RemediationJob& job) {
  job.output(std::string(kRustupAnnouncement));
  const int32_t code = job.runLoginShell(std::string(kRustupInstallCommand));
  if (job.isCanceled()) return job.canceled();
  if (code == 0) outputEach(job, shellConfigurator(job).configureCargoPath());
  job.complete(code);
}

void installGh(const RemediationJob& job) { completeOrCancel(job, job.installFormula("gh")); }

void configureGit(const RemediationJob& job, std::string_view name, std::string_view email) {
  job.output(std::string(GitIdentityText::saving));
  // A line break pasted at either end is dropped; one inside is refused.
  const std::string cleanName = trimmedText(name);
  const std::string cleanEmail = trimmedText(email);
  if (cleanName.find_first_of("\r\n") != std::string::npos || cleanEmail.find_first_of("\r\n") != std::string::npos) {
    job.output(std::string(GitIdentityText::lineBreak));
    return job.complete(1);
  }
  const auto command = gitIdentityCommand(cleanName, cleanEmail);
  if (!command) {
    job.output(std::string(GitIdentityText::missing));
    return job.complete(1);
  }
  const int32_t code = job.runLoginShell(*command);
  if (job.isCanceled()) return job.canceled();
  if (code == 0) job.output(std::string(GitIdentityText::saved));
  job.complete(code);
}

void githubAuth(const RemediationJob& job) {
  job.output(std::string(GitHubText::starting));
  GitHubDeviceSignInScanner scanner;
  // The login's own exit code says nothing: a person who closes it after
  // approving in the browser is signed in all the same.
  job.runLoginShell(std::string(GitHubText::loginCommand), [&](const std::string& line) {
    if (auto request = scanner.scan(line)) job.openBrowser(std::move(request->url), std::move(request->code));
  });
  if (job.isCanceled()) return job.canceled();
  if (job.runLoginShell(std::string(GitHubText::statusCommand)) == 0) {
    job.runLoginShell(std::string(GitHubText::setupGitCommand));  // best effort
    if (job.isCanceled()) return job.canceled();
    job.output(std::string(GitHubText::signedIn));
    return job.complete(0);
  }
  if (job.isCanceled()) return job.canceled();
  job.output(std::string(GitHubText::notCompleted));
  job.complete(1);
}

void installTemurin(const RemediationJob& job) {
  static const std::string cask = "temurin";
  if (job.endIfHomebrewMissing()) return;
  const auto code =
      job.relay(job.brewRunner().installCask(cask, CaskRecoveryPolicy::java(cask, job.services().fs, job.adoptium()),
                                             job.privilegedReason(), job.cancellable()));
  if (code == 0) job.output(writeJavaHome(job, &RunnerText::javaHomeSetAfterCask).line);
  completeOrCancel(job, code);
}

void setJavaHome(const RemediationJob& job) {
  const JavaHomeResult result = writeJavaHome(job, &RunnerText::javaHomeSetAfterCask);
  job.output(result.line);
  if (!result.succeeded) return job.complete(1);
  job.output(std::string(RunnerText::javaHomeSuccessful));
  job.complete(0);
}

void installTemurinPackage(const RemediationJob& job) {
  const RemediationServices& services = job.services();
  std::optional<int> major;
  try {
    major = job.adoptium().availableReleases().mostRecentFeatureRelease;
  } catch (const std::exception&) {
    // Unreachable or unreadable: the current LTS below.
  }
  if (!major) {
    job.output(RunnerText::javaReleaseFallback());
    major = RunnerText::fallbackJavaMajor;
  }
  PKGInstaller installer(services.process, services.http, services.fs, job.adoptium(), services.product,
                         {.architecture = services.architecture});
  auto stream = installer.install(*major, std::string(RunnerText::temurinPasswordPrompt));
  auto cancellation = std::make_shared<PackageInstallCancellation>(&stream);
  job.cancellable()->setCurrent(cancellation);
  JavaDownloadProgressLines downloads;
  int32_t code = -1;
  bool canceled = false;
  while (auto event = stream.next()) {
    if (std::holds_alternative<PKGInstallerEvent::Canceled>(event->value)) {
      canceled = true;
      break;
    }
    if (!std::holds_alternative<PKGInstallerEvent::Downloading>(event->value)) {
      if (auto held = downloads.finish()) job.output(std::move(*held));
    }
    const PackageProgress progress = packageProgress(*event, *major, downloads);
    if (progress.line) job.output(*progress.line);
    if (progress.exitCode) code = *progress.exitCode;
  }
  cancellation->detach();
  job.cancellable()->setCurrent(nullptr);
  if (canceled || job.isCanceled()) return job.canceled();
  if (code == 0) job.output(writeJavaHome(job, &RunnerText::javaHomeSet).line);
  job.complete(code);
}

}  // namespace bnch::jobs
