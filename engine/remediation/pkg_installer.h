#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "engine/config/product_names.h"
#include "engine/platform/event_stream.h"
#include "engine/platform/file_system_operating.h"
#include "engine/platform/http_fetching.h"
#include "engine/platform/process_running.h"
#include "engine/remediation/adoptium_api.h"

namespace bnch {

// The phases of a Temurin package install, in the order they can happen.
// error, completed and canceled are always the last event.
struct PKGInstallerEvent {
  struct Downloading {
    std::int64_t bytesReceived = 0;
    std::optional<std::int64_t> totalBytes;  // absent when the server sends no length
    bool operator==(const Downloading&) const = default;
  };
  struct Error {
    std::string message;
    bool operator==(const Error&) const = default;
  };
  struct Fetching {
    bool operator==(const Fetching&) const = default;
  };
  struct SlowResponse {
    bool operator==(const SlowResponse&) const = default;
  };
  struct Verifying {
    bool operator==(const Verifying&) const = default;
  };
  struct Installing {
    bool operator==(const Installing&) const = default;
  };
  struct Completed {
    bool operator==(const Completed&) const = default;
  };
  struct Canceled {
    bool operator==(const Canceled&) const = default;
  };
  std::variant<Downloading, Error, Fetching, SlowResponse, Verifying, Installing, Completed, Canceled> value;

  bool isLast() const {
    return std::holds_alternative<Error>(value) || std::holds_alternative<Completed>(value) ||
           std::holds_alternative<Canceled>(value);
  }
  bool operator==(const PKGInstallerEvent&) const = default;
};

// The outcome of the administrator package install.
struct PrivilegedInstallResult {
  enum class Kind { success, canceled, failure };
  Kind kind = Kind::failure;
  std::string message;  // for failure: what osascript said, or "osascript exited <code>"
  bool operator==(const PrivilegedInstallResult&) const = default;
};

// Settings of a PKGInstaller.
struct PKGInstallerOptions {
  std::string architecture = "aarch64";
  double slowLookupSeconds = 8;     // before slowResponse while the asset lookup runs
  double slowDownloadSeconds = 15;  // before slowResponse while the download has no byte yet
};

// Installs Eclipse Temurin from the Adoptium service without Homebrew: looks up the
// latest macOS installer package of a Java release, downloads it into the
// product's caches folder, verifies its SHA-256 and runs Apple's `installer` with
// administrator rights through `osascript` (macOS shows its password dialog).
//
// install() returns at once; the work runs on a thread of its own and the stream
// ends with exactly one error, completed or canceled. Dropping or cancelling the
// stream stops the work (the download is aborted, osascript is terminated) and
// ends it with canceled. The downloaded package is removed before the last event,
// on every path. A value holding shared services; the thread keeps its own copies.
class PKGInstaller {
 public:
  using Event = PKGInstallerEvent;

  using Options = PKGInstallerOptions;

  static constexpr std::string_view domain = "PKGInstaller";
  static constexpr std::string_view lookupTimeoutMessage =
      "Adoptium didn't respond within 20 seconds. Try again in a moment, or use Other Java install methods.";

  PKGInstaller(std::shared_ptr<ProcessRunning> process, std::shared_ptr<HTTPFetching> http,
               std::shared_ptr<FileSystemOperating> fs, AdoptiumAPI adoptium, ProductNames config,
               Options options = {});

  EventStream<Event> install(int major, std::string prompt) const;

  // The privileged step on its own: `installer -pkg <path> -target /` through
  // `osascript … with administrator privileges with prompt …`. Blocks until
  // osascript ends; cancelling `cancellation` terminates it and gives canceled, as
  // does a dismissed password dialog (-128, "User canceled").
  static PrivilegedInstallResult runInstaller(ProcessRunning& process, const std::string& packagePath,
                                              const std::string& prompt,
                                              std::shared_ptr<LiveProcessCancellation> cancellation);

  // The AppleScript of that step. The package path is single-quoted for the shell
  // and the whole command and the prompt are escaped as AppleScript strings, so
  // no character of either can be expanded by the shell or end a literal.
  static std::string installerAppleScript(const std::string& packagePath, const std::string& prompt);

 private:
  std::shared_ptr<ProcessRunning> process_;
  std::shared_ptr<HTTPFetching> http_;
  std::shared_ptr<FileSystemOperating> fs_;
  AdoptiumAPI adoptium_;
  ProductNames config_;
  Options options_;
};

}  // namespace bnch
