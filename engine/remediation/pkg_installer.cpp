#include "engine/remediation/pkg_installer.h"

#include <atomic>
#include <thread>
#include <utility>

#include "engine/platform/apple_script.h"
#include "engine/platform/run_stream_keep_alive.h"
#include "engine/platform/shell_quote.h"
#include "engine/platform/text.h"
#include "engine/remediation/domain_error.h"
#include "engine/remediation/install_transcript.h"
#include "engine/remediation/package_download.h"
#include "engine/remediation/slow_response_watchdog.h"

namespace bnch {

namespace fs = std::filesystem;

namespace {

using Event = PKGInstallerEvent;

struct PackageJob {
  std::shared_ptr<ProcessRunning> process;
  std::shared_ptr<HTTPFetching> http;
  std::shared_ptr<FileSystemOperating> fs;
  AdoptiumAPI adoptium;
  ProductNames config;
  PKGInstaller::Options options;
  int major = 0;
  std::string prompt;
  std::shared_ptr<LiveProcessCancellation> cancellation;
  std::shared_ptr<std::atomic<bool>> canceledFlag;
  EventStream<Event>::Continuation out;

  void emit(Event event) const { out.yield(std::move(event)); }

  void throwIfCanceled() const {
    if (cancellation->isCanceled()) throw URLError(URLErrorCode::canceled, "cancelled");
  }

  // Steps 1 to 7; returns the last event.
  Event installSteps(std::optional<fs::path>& package) const {
    emit({Event::Fetching{}});
    AdoptiumAPI::AssetMetadata asset;
    {
      SlowResponseWatchdog watchdog(options.slowLookupSeconds, [this] { emit({Event::SlowResponse{}}); });
      asset = adoptium.latestInstaller(major, options.architecture);
    }
    throwIfCanceled();
    package = PackageDownload::cachePath(*fs, config,
                                         "temurin-" + std::to_string(major) + "-" + options.architecture + ".pkg");
    {
      SlowResponseWatchdog watchdog(options.slowDownloadSeconds, [this] { emit({Event::SlowResponse{}}); });
      PackageDownload::fetch(
          *http, *fs, asset.downloadURL, *package,
          [&](std::int64_t received, std::int64_t expected) {
            throwIfCanceled();
            watchdog.stop();
            emit({Event::Downloading{received, expected > 0 ? std::optional(expected) : std::nullopt}});
          },
          canceledFlag, DomainError(std::string(PKGInstaller::domain), 2, "Adoptium download HTTP error"));
    }
    throwIfCanceled();
    emit({Event::Verifying{}});
    PackageDownload::verifyChecksum(*fs, *package, asset.checksum, std::string(PKGInstaller::domain), 6);
    throwIfCanceled();
    emit({Event::Installing{}});
    const auto result = PKGInstaller::runInstaller(*process, package->string(), prompt, cancellation);
    switch (result.kind) {
      case PrivilegedInstallResult::Kind::success:
        return {Event::Completed{}};
      case PrivilegedInstallResult::Kind::canceled:
        return {Event::Canceled{}};
      case PrivilegedInstallResult::Kind::failure:
        break;
    }
    return {Event::Error{result.message}};
  }

  void run() const {
    std::optional<fs::path> package;
    Event last{Event::Canceled{}};
    try {
      last = installSteps(package);
    } catch (const URLError& error) {
      if (error.code() == URLErrorCode::canceled || cancellation->isCanceled()) {
        last = {Event::Canceled{}};
      } else if (error.code() == URLErrorCode::timedOut) {
        last = {Event::Error{std::string(PKGInstaller::lookupTimeoutMessage)}};
      } else {
        last = failure(error.what(), package);
      }
    } catch (const std::exception& error) {
      last = cancellation->isCanceled() ? Event{Event::Canceled{}} : failure(error.what(), package);
    }
    if (package) {
      try {
        fs->removeItem(*package);
      } catch (const FileSystemError&) {
        // Already gone (never downloaded, or removed by the installer's failure path).
      }
    }
    out.yield(std::move(last));
    out.finish();
  }

  static Event failure(const std::string& description, const std::optional<fs::path>& package) {
    return {Event::Error{description + " (pkg: " + (package ? package->string() : std::string("n/a")) + ")"}};
  }
};

}  // namespace

PKGInstaller::PKGInstaller(std::shared_ptr<ProcessRunning> process, std::shared_ptr<HTTPFetching> http,
                           std::shared_ptr<FileSystemOperating> fs, AdoptiumAPI adoptium, ProductNames config,
                           Options options)
    : process_(std::move(process)),
      http_(std::move(http)),
      fs_(std::move(fs)),
      adoptium_(std::move(adoptium)),
      config_(std::move(config)),
      options_(std::move(options)) {}

EventStream<PKGInstaller::Event> PKGInstaller::install(int major, std::string prompt) const {
  auto [stream, continuation] = EventStream<Event>::make();
  auto cancellation = std::make_shared<LiveProcessCancellation>();
  auto canceledFlag = std::make_shared<std::atomic<bool>>(false);
  continuation.onTermination([cancellation, canceledFlag](StreamTermination how) {
    if (how != StreamTermination::canceled) return;
    canceledFlag->store(true);
    cancellation->cancel();
  });
  PackageJob job{process_,          http_,        fs_,          adoptium_,   config_, options_, major,
                 std::move(prompt), cancellation, canceledFlag, continuation};
  std::thread([job = std::move(job)] { job.run(); }).detach();
  return std::move(stream);
}

std::string PKGInstaller::installerAppleScript(const std::string& packagePath, const std::string& prompt) {
  const std::string command = "/usr/sbin/installer -pkg " + shellSingleQuote(packagePath) + " -target /";
  return "do shell script " + appleScriptString(command) + " with administrator privileges with prompt " +
         appleScriptString(prompt);
}

PrivilegedInstallResult PKGInstaller::runInstaller(ProcessRunning& process, const std::string& packagePath,
                                                   const std::string& prompt,
                                                   std::shared_ptr<LiveProcessCancellation> cancellation) {
  using Kind = PrivilegedInstallResult::Kind;
  auto stream = process.stream(
      {.executable = "/usr/bin/osascript", .arguments = {"-e", installerAppleScript(packagePath, prompt)}},
      cancellation);
  std::string output;
  int32_t exitCode = -1;
  while (auto event = stream.next()) {
    if (const auto* line = std::get_if<ProcessStreamEvent::Line>(&event->value)) {
      output += line->text + "\n";
    } else if (const auto* exited = std::get_if<ProcessStreamEvent::Exited>(&event->value)) {
      exitCode = exited->code;
    } else if (const auto* failed = std::get_if<ProcessStreamEvent::FailedToStart>(&event->value)) {
      return {Kind::failure, "Failed to start osascript: " + failed->message};
    }
  }
  if (cancellation->isCanceled()) return {Kind::canceled, ""};
  if (exitCode == 0) return {Kind::success, ""};
  const std::string trimmed = trimmedText(output);
  if (trimmed.find("(-128)") != std::string::npos ||
      lowercasedASCII(trimmed).find("user canceled") != std::string::npos) {
    return {Kind::canceled, ""};
  }
  if (!trimmed.empty()) return {Kind::failure, trimmed};
  return {Kind::failure, "osascript exited " + std::to_string(exitCode)};
}

}  // namespace bnch
