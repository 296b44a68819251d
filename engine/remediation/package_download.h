#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/config/product_names.h"
#include "engine/platform/file_system_operating.h"
#include "engine/platform/http_fetching.h"
#include "engine/remediation/domain_error.h"

namespace bnch {

// The steps the Java package installer and the Homebrew package fallback share:
// where a downloaded package goes, the download itself, and its checksum.
// Blocking; any thread. Failures are thrown.
struct PackageDownload {
  // <caches>/<cacheDirName>/<fileName>: the folder is created (with intermediate
  // folders) and a file already there is removed first, errors ignored.
  static std::filesystem::path cachePath(FileSystemOperating& fs, const ProductNames& config,
                                         const std::string& fileName);

  // Downloads `url` and moves it to `destination`, reporting cumulative bytes
  // through `progress`. Setting `canceled` (or throwing URLError(canceled) from
  // `progress`) stops it; a transfer that stalls for stallTimeoutSeconds fails
  // with URLError(timedOut). A status
  // outside 200-299 throws `httpError`; the
  // downloaded bytes are removed on every failure.
  static void fetch(HTTPFetching& http, FileSystemOperating& fs, const std::string& url,
                    const std::filesystem::path& destination, const DownloadProgress& progress,
                    std::shared_ptr<const std::atomic<bool>> canceled, const DomainError& httpError);

  // Reads the file, computes its SHA-256 and compares it with `expected` (lower
  // case). A mismatch throws DomainError(domain, code, "Checksum mismatch
  // (expected …, got …)").
  // Installer packages run to a few hundred megabytes (a JDK is about 200 MB):
  // far above the person's-file read limit, still bounded.
  static constexpr std::uint64_t packageReadLimit = std::uint64_t{2} << 30;

  static void verifyChecksum(const FileSystemOperating& fs, const std::filesystem::path& file,
                             const std::string& expected, const std::string& domain, int code);

  // Longest a package download may take before it is given up.
  static constexpr double downloadTimeLimitSeconds = 1200;
  static constexpr double stallTimeoutSeconds = 60;
};

}  // namespace bnch
