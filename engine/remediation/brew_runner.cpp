#include "engine/remediation/brew_runner.h"

#include <array>
#include <atomic>
#include <charconv>
#include <mutex>
#include <thread>
#include <utility>

#include "engine/contracts/homebrew_contract.h"
#include "engine/platform/process_environment.h"
#include "engine/remediation/domain_error.h"
#include "engine/remediation/install_transcript.h"
#include "engine/remediation/package_download.h"
#include "engine/remediation/pkg_installer.h"

namespace bnch {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view jdkFolder = "/Library/Java/JavaVirtualMachines";

// Stops whichever attempt of one install is running, and the retry wait. Each
// attempt gets a fresh process handle; a cancel that came earlier applies to it
// at once.
class InstallCancellation final : public ProcessCancellation {
 public:
  std::shared_ptr<LiveProcessCancellation> nextAttempt() {
    std::lock_guard lock(mutex_);
    current_ = std::make_shared<LiveProcessCancellation>();
    if (canceled_) current_->cancel();
    return current_;
  }
  void cancel() override {
    std::shared_ptr<LiveProcessCancellation> current;
    {
      std::lock_guard lock(mutex_);
      canceled_ = true;
      current = current_;
    }
    if (current) current->cancel();
    downloadCancelled_->store(true);
    sleepStop_.stop();
  }
  bool isCanceled() const {
    std::lock_guard lock(mutex_);
    return canceled_;
  }
  const KeepAliveStopSignal& sleepStop() const { return sleepStop_; }
  std::shared_ptr<const std::atomic<bool>> downloadCancelled() const { return downloadCancelled_; }

 private:
  mutable std::mutex mutex_;
  bool canceled_ = false;
  std::shared_ptr<LiveProcessCancellation> current_;
  KeepAliveStopSignal sleepStop_;
  std::shared_ptr<std::atomic<bool>> downloadCancelled_ = std::make_shared<std::atomic<bool>>(false);
};

using Attempt = InstallAttempt;

bool leftoverFile(const Attempt& attempt) { return attempt.transcript.contains("it seems there is already"); }

bool wrapperBypassed(const Attempt& attempt) {
  return attempt.transcript.contains("a terminal is required") && attempt.transcript.contains("a password is required");
}

bool passwordOrCancel(const Attempt& attempt) {
  static constexpr std::array<std::string_view, 7> markers{
      "a password is required", "sudo: a password is required",  "user canceled", "sudo_askpass", "askpass",
      "authentication failed",  "execution error: user canceled"};
  return InstallTranscript::containsAny(attempt.transcript.text(), markers);
}

bool staleCaskroom(const Attempt& attempt) {
  return attempt.transcript.contains("not upgrading") && attempt.transcript.contains("already installed");
}

Attempt runBrew(ProcessRunning& process, const ProcessRequest& request,
                const std::shared_ptr<LiveProcessCancellation>& cancellation,
                const EventStream<StreamEvent>::Continuation& out) {
  return runInstallAttempt(process, request, cancellation, out, "Failed to start brew: ");
}

void finishWith(const EventStream<StreamEvent>::Continuation& out, StreamEvent last) {
  out.yield(std::move(last));
  out.finish();
}

struct CaskJob {
  std::string brewPath;
  std::shared_ptr<ProcessRunning> process;
  std::shared_ptr<HTTPFetching> http;
  std::shared_ptr<FileSystemOperating> fs;
  PrivilegedExecutor executor;
  BrewRunner::Options options;
  std::string name;
  CaskRecoveryPolicy policy;
  std::string privilegedReason;
  std::shared_ptr<InstallCancellation> cancellation;
  EventStream<StreamEvent>::Continuation out;
  Environment environment{};

  void emit(std::string line) const { out.yield(StreamEvent::output(std::move(line))); }
  // A recovery announcement: one empty line, then the explanation.
  void announce(std::string line) const {
    emit("");
    emit(std::move(line));
  }

  Attempt attempt(const std::string& verb, bool forced, const std::string& cask) const {
    std::vector<std::string> arguments{verb, "--cask"};
    if (forced) arguments.emplace_back("--force");
    arguments.push_back(cask);
    return runBrew(*process, {.executable = brewPath, .arguments = arguments, .environment = environment},
                   cancellation->nextAttempt(), out);
  }

  void run() {
    std::optional<PrivilegeContext> context;
    try {
      context.emplace(executor.prepare(privilegedReason));
    } catch (const std::exception& error) {
      emit(std::string("Failed to set up privileged executor: ") + error.what());
      return finishWith(out, StreamEvent::completed(-1));
    }
    environment = overlaidEnvironment(options.applicationEnvironment, context->environment());
    StreamEvent last = StreamEvent::completed(1);
    try {
      last = install();
    } catch (const std::exception& error) {
      // A policy hook that throws outside the package fallback ends the install, not the program.
      emit(std::string("Couldn't finish the install: ") + error.what());
    }
    context->cleanup();
    finishWith(out, std::move(last));
  }

  StreamEvent install() const {
    const Attempt first = attempt("install", false, name);
    if (first.canceled) return StreamEvent::canceled();
    if (first.exitCode != 0) return afterFailure(first);
    if (policy.staleCaskroom && staleCaskroom(first) && policy.staleCaskroom->artifactMissing()) {
      announce("Homebrew reports " + name + " is already installed, but " +
               policy.staleCaskroom->missingArtifactDescription + ". Retrying with `brew reinstall --cask " + name +
               "`…");
      const Attempt reinstall = attempt("reinstall", false, name);
      if (reinstall.canceled) return StreamEvent::canceled();
      if (reinstall.exitCode == 0) return StreamEvent::completed(0);
      return afterFailure(reinstall);
    }
    return StreamEvent::completed(0);
  }

  // A failed first attempt or reinstall.
  StreamEvent afterFailure(const Attempt& failed) const {
    if (leftoverFile(failed)) {
      announce("A leftover file is blocking the install. Retrying with `brew install --cask --force " + name + "`…");
      const Attempt forced = attempt("install", true, name);
      if (forced.canceled) return StreamEvent::canceled();
      if (forced.exitCode == 0) return StreamEvent::completed(0);
      if (policy.pkgFallback && wrapperBypassed(forced)) return packageFallback();
      if (passwordOrCancel(forced)) return StreamEvent::canceled();
      return alternatesOr(forced.exitCode);
    }
    if (policy.pkgFallback && wrapperBypassed(failed)) return packageFallback();
    if (passwordOrCancel(failed)) return StreamEvent::canceled();
    announce("That didn’t work — retrying once in a moment…");
    if (!options.sleep(options.retryDelaySeconds, cancellation->sleepStop()) || cancellation->isCanceled()) {
      return StreamEvent::canceled();
    }
    const Attempt retry = attempt("install", false, name);
    if (retry.canceled) return StreamEvent::canceled();
    if (retry.exitCode == 0) return StreamEvent::completed(0);
    return alternatesOr(retry.exitCode);
  }

  StreamEvent alternatesOr(int32_t exitCode) const {
    if (!policy.versionFallback) return StreamEvent::completed(exitCode);
    for (const auto& alternate : policy.versionFallback->alternateCasks) {
      if (alternate == name) continue;  // never the same attempt again
      announce(policy.versionFallback->message(name, alternate));
      const Attempt next = attempt("install", false, alternate);
      if (next.canceled) return StreamEvent::canceled();
      if (next.exitCode == 0) return StreamEvent::completed(0);
      exitCode = next.exitCode;
    }
    return StreamEvent::completed(exitCode);
  }

  StreamEvent packageFallback() const {
    announce("Homebrew bypassed our sudo wrapper. Falling back to direct .pkg install…");
    const auto& fallback = *policy.pkgFallback;
    std::optional<fs::path> package;
    // Removes the downloaded package on every ending.
    struct RemovePackage {
      FileSystemOperating& fs;
      std::optional<fs::path>& package;
      ~RemovePackage() {
        if (!package) return;
        try {
          fs.removeItem(*package);
        } catch (const FileSystemError&) {
          // Never downloaded.
        }
      }
    } removePackage{*fs, package};
    try {
      const std::string version = fallback.versionFromCaskName(name);
      const std::string& architecture = options.architecture;
      emit(fallback.lookupMessage(version, architecture));
      const auto asset = fallback.resolveAsset(version, architecture);
      throwIfCanceled();
      emit("GET " + asset.downloadURL);
      package = PackageDownload::cachePath(*fs, options.config,
                                           fallback.cacheFilePrefix + "-" + version + "-" + architecture + ".pkg");
      PackageDownload::fetch(
          *http, *fs, asset.downloadURL, *package, [this](std::int64_t, std::int64_t) { throwIfCanceled(); },
          cancellation->downloadCancelled(),
          DomainError(std::string(BrewRunner::pkgDomain), 2, "Install-asset download HTTP error"));
      emit("Saved to " + package->string());
      emit("Verifying download checksum…");
      PackageDownload::verifyChecksum(*fs, *package, asset.checksum, std::string(BrewRunner::pkgDomain), 6);
    } catch (const URLError& error) {
      if (error.code() == URLErrorCode::canceled || cancellation->isCanceled()) return StreamEvent::canceled();
      if (error.code() == URLErrorCode::timedOut) {
        emit(fallback.timeoutMessage);
        return StreamEvent::completed(1);
      }
      emit(std::string("Fallback failed: ") + error.what());
      return StreamEvent::completed(1);
    } catch (const std::exception& error) {
      if (cancellation->isCanceled()) return StreamEvent::canceled();
      emit(std::string("Fallback failed: ") + error.what());
      return StreamEvent::completed(1);
    }
    emit("Running /usr/sbin/installer (macOS will ask for your password)…");
    const auto result =
        PKGInstaller::runInstaller(*process, package->string(), privilegedReason, cancellation->nextAttempt());
    switch (result.kind) {
      case PrivilegedInstallResult::Kind::success:
        emit("Installer completed.");
        return StreamEvent::completed(0);
      case PrivilegedInstallResult::Kind::canceled:
        return StreamEvent::canceled();
      case PrivilegedInstallResult::Kind::failure:
        break;
    }
    emit("Installer failed: " + result.message);
    return StreamEvent::completed(1);
  }

  void throwIfCanceled() const {
    if (cancellation->isCanceled()) throw URLError(URLErrorCode::canceled, "cancelled");
  }
};

// A fresh stream whose cancellation reaches `cancellation` (and `cancellable`).
template <class Handle>
std::pair<EventStream<StreamEvent>, EventStream<StreamEvent>::Continuation> cancellableStream(
    const std::shared_ptr<Handle>& cancellation, const std::shared_ptr<CancellableProcess>& cancellable) {
  auto [stream, continuation] = EventStream<StreamEvent>::make();
  if (cancellable) cancellable->setCurrent(cancellation);
  continuation.onTermination([cancellation](StreamTermination how) {
    if (how == StreamTermination::canceled) cancellation->cancel();
  });
  return {std::move(stream), continuation};
}

}  // namespace

BrewRunner::BrewRunner(std::string brewPath, std::shared_ptr<ProcessRunning> process,
                       std::shared_ptr<HTTPFetching> http, std::shared_ptr<FileSystemOperating> fs,
                       PrivilegedExecutor executor, AdoptiumAPI adoptium, Options options)
    : brewPath_(std::move(brewPath)),
      process_(std::move(process)),
      http_(std::move(http)),
      fs_(std::move(fs)),
      executor_(std::move(executor)),
      adoptium_(std::move(adoptium)),
      options_(std::move(options)) {}

EventStream<BrewRunner::Event> BrewRunner::installFormula(const std::string& name,
                                                          std::shared_ptr<CancellableProcess> cancellable) const {
  auto cancellation = std::make_shared<LiveProcessCancellation>();
  auto [stream, out] = cancellableStream(cancellation, cancellable);
  Environment environment = options_.applicationEnvironment;
  environment[std::string(HomebrewContract::noAutoUpdateVariable)] = "1";
  ProcessRequest request{.executable = brewPath_, .arguments = {"install", name}, .environment = environment};
  std::thread([process = process_, request = std::move(request), cancellation, out = out] {
    const Attempt attempt = runBrew(*process, request, cancellation, out);
    finishWith(out, attempt.canceled ? StreamEvent::canceled() : StreamEvent::completed(attempt.exitCode));
  }).detach();
  return std::move(stream);
}

EventStream<BrewRunner::Event> BrewRunner::installCask(const std::string& name, CaskRecoveryPolicy policy,
                                                       const std::string& privilegedReason,
                                                       std::shared_ptr<CancellableProcess> cancellable) const {
  auto cancellation = std::make_shared<InstallCancellation>();
  auto [stream, out] = cancellableStream(cancellation, cancellable);
  CaskJob job{brewPath_,         process_,         http_,        fs_, executor_, options_, name,
              std::move(policy), privilegedReason, cancellation, out};
  std::thread([job = std::move(job)]() mutable { job.run(); }).detach();
  return std::move(stream);
}

CaskRecoveryPolicy CaskRecoveryPolicy::java(const std::string& caskName, std::shared_ptr<FileSystemOperating> fs,
                                            AdoptiumAPI adoptium) {
  CaskRecoveryPolicy policy;
  const auto at = caskName.find('@');
  const std::string requestedMajor = at == std::string::npos ? "" : caskName.substr(at + 1);
  policy.staleCaskroom = StaleCaskroomRecovery{
      .artifactMissing =
          [fs, requestedMajor] {
            const auto hasJava = [&](const std::string& folder) {
              return fs->isExecutableFile(fs::path(jdkFolder) / folder / "Contents/Home/bin/java");
            };
            if (!requestedMajor.empty()) return !hasJava("temurin-" + requestedMajor + ".jdk");
            try {
              for (const auto& entry : fs->contentsOfDirectory(jdkFolder)) {
                if (entry.starts_with("temurin-") && entry.ends_with(".jdk") && hasJava(entry)) return false;
              }
            } catch (const FileSystemError&) {
              // An unreadable folder counts as missing.
            }
            return true;
          },
      .missingArtifactDescription = "the JDK is missing from /Library/Java/JavaVirtualMachines/"};
  policy.pkgFallback = PKGFallback{
      .cacheFilePrefix = "temurin",
      .lookupMessage =
          [](const std::string& version, const std::string& architecture) {
            return "Looking up Temurin " + version + " (" + architecture + ") on Adoptium…";
          },
      .timeoutMessage = "Adoptium didn't respond in time. Try again in a moment, or use Other Java install methods.",
      .versionFromCaskName =
          [](const std::string& cask) {
            const auto sign = cask.find('@');
            const std::string after = sign == std::string::npos ? "" : cask.substr(sign + 1);
            return after.empty() ? std::string("25") : after;
          },
      .resolveAsset =
          [adoptium](const std::string& version, const std::string& architecture) {
            std::string_view digits = version;
            if (digits.starts_with('+')) digits.remove_prefix(1);
            int major = 0;
            const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), major);
            if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
              throw DomainError(std::string(BrewRunner::pkgDomain), 1, "Bad Temurin major version: " + version);
            }
            const auto asset = adoptium.latestInstaller(major, architecture);
            return ResolvedAsset{asset.downloadURL, asset.checksum};
          }};
  policy.versionFallback =
      VersionFallback{.alternateCasks = {"temurin@21", "temurin@17"},
                      .message = [](const std::string& failed, const std::string& alternate) {
                        return failed + " wouldn’t install (a known upstream issue). Trying " + alternate + " instead…";
                      }};
  return policy;
}

}  // namespace bnch
