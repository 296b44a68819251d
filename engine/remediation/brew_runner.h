#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/config/product_names.h"
#include "engine/platform/event_stream.h"
#include "engine/platform/file_system_operating.h"
#include "engine/platform/http_fetching.h"
#include "engine/platform/process_running.h"
#include "engine/platform/run_stream_keep_alive.h"
#include "engine/platform/shell_runner.h"
#include "engine/remediation/adoptium_api.h"
#include "engine/remediation/privileged_executor.h"

namespace bnch {

// Which recoveries a cask install may use beyond the generic ones (a forced
// attempt after a leftover file, one retry after 2 seconds). Each member is
// optional; absent turns that recovery off. The hooks are called on the install's
// thread and must be thread-safe.
struct CaskRecoveryPolicy {
  // Homebrew says the cask is installed ("Not upgrading", "already installed")
  // while its files are gone: one `brew reinstall --cask`.
  struct StaleCaskroomRecovery {
    std::function<bool()> artifactMissing;
    std::string missingArtifactDescription;  // "the JDK is missing from /Library/Java/JavaVirtualMachines/"
  };
  // Where a package lives and its SHA-256.
  struct ResolvedAsset {
    std::string downloadURL;
    std::string checksum;
  };
  // Homebrew bypassed the sudo wrapper: download the macOS package, verify it and
  // run Apple's installer with administrator rights.
  struct PKGFallback {
    std::string cacheFilePrefix;
    std::function<std::string(const std::string& version, const std::string& architecture)> lookupMessage;
    std::string timeoutMessage;
    std::function<std::string(const std::string& caskName)> versionFromCaskName;
    // Throws on failure (URLError for the transport, DomainError otherwise).
    std::function<ResolvedAsset(const std::string& version, const std::string& architecture)> resolveAsset;
  };
  // Casks to try, in order, when the requested one will not install.
  struct VersionFallback {
    std::vector<std::string> alternateCasks;
    std::function<std::string(const std::string& failedCask, const std::string& alternate)> message;
  };

  std::optional<StaleCaskroomRecovery> staleCaskroom;
  std::optional<PKGFallback> pkgFallback;
  std::optional<VersionFallback> versionFallback;

  // Only the generic recoveries (apps and AI tools).
  static CaskRecoveryPolicy empty() { return {}; }
  // All three recoveries, for a Temurin cask ("temurin" or "temurin@N").
  static CaskRecoveryPolicy java(const std::string& caskName, std::shared_ptr<FileSystemOperating> fs,
                                 AdoptiumAPI adoptium);
};

// Installs one Homebrew formula or cask and streams its output.
//
// Both calls return at once; the work runs on a thread of its own and the stream
// ends with exactly one completed or one canceled. Password problems (the dialog
// dismissed, sudo refusing) and cancellation end as canceled, never as a failure.
// Dropping or cancelling the stream terminates the running `brew` (and ends a
// pending retry wait); when `cancellable` is given the work is registered with it
// too, so the remediation's cancel reaches it.
//
// Formula installs run `brew install <name>` with HOMEBREW_NO_AUTO_UPDATE=1 and no
// privilege context. Cask installs prepare one privilege context (prompt:
// `privilegedReason`) for the whole install, make at most one reinstall, one
// forced attempt or one retry, then at most the package fallback or the
// alternates, and remove the context's folder (and any downloaded package)
// before the last event.
//
// A value holding shared services; each stream's thread keeps its own copies.
class BrewRunner {
 public:
  using Event = StreamEvent;

  struct Options {
    Environment applicationEnvironment;
    ProductNames config;  // names the caches folder the fallback package is downloaded into
    std::string architecture = "aarch64";
    double retryDelaySeconds = 2;
    // Pauses before the single retry; returns false when `stop` is signalled
    // (the install was canceled). Injected so tests need not wait.
    std::function<bool(double seconds, const KeepAliveStopSignal& stop)> sleep =
        [](double seconds, const KeepAliveStopSignal& stop) { return stop.waitFor(seconds); };
  };

  static constexpr std::string_view pkgDomain = "BrewRunner.PKG";

  BrewRunner(std::string brewPath, std::shared_ptr<ProcessRunning> process, std::shared_ptr<HTTPFetching> http,
             std::shared_ptr<FileSystemOperating> fs, PrivilegedExecutor executor, AdoptiumAPI adoptium,
             Options options);

  EventStream<Event> installFormula(const std::string& name,
                                    std::shared_ptr<CancellableProcess> cancellable = nullptr) const;
  EventStream<Event> installCask(const std::string& name, CaskRecoveryPolicy policy,
                                 const std::string& privilegedReason,
                                 std::shared_ptr<CancellableProcess> cancellable = nullptr) const;

  const std::string& brewPath() const { return brewPath_; }
  const AdoptiumAPI& adoptium() const { return adoptium_; }

 private:
  std::string brewPath_;
  std::shared_ptr<ProcessRunning> process_;
  std::shared_ptr<HTTPFetching> http_;
  std::shared_ptr<FileSystemOperating> fs_;
  PrivilegedExecutor executor_;
  AdoptiumAPI adoptium_;
  Options options_;
};

}  // namespace bnch
