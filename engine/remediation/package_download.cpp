#include "engine/remediation/package_download.h"

#include "engine/platform/sha256.h"

namespace bnch {

namespace fs = std::filesystem;

fs::path PackageDownload::cachePath(FileSystemOperating& fs, const ProductNames& config, const std::string& fileName) {
  const fs::path folder = fs.cachesDirectory() / config.cacheDirName;
  fs.createDirectory(folder, true);
  const fs::path path = folder / fileName;
  try {
    fs.removeItem(path);
  } catch (const FileSystemError&) {
    // Nothing there, or it will fail the move below with its own message.
  }
  return path;
}

void PackageDownload::fetch(HTTPFetching& http, FileSystemOperating& fs, const std::string& url,
                            const fs::path& destination, const DownloadProgress& progress,
                            std::shared_ptr<const std::atomic<bool>> canceled, const DomainError& httpError) {
  HTTPRequest request{.url = url,
                      .timeoutSeconds = downloadTimeLimitSeconds,
                      .canceled = std::move(canceled),
                      .stallTimeoutSeconds = stallTimeoutSeconds};
  const auto result = http.download(request, progress);
  // The fetcher's temporary file is a host path of its own; it is removed with
  // std::filesystem whatever happens to the move.
  struct RemoveDownload {
    fs::path file;
    ~RemoveDownload() {
      std::error_code ignored;
      fs::remove(file, ignored);
    }
  } removeDownload{result.file};
  if (result.response.statusCode < 200 || result.response.statusCode > 299) throw httpError;
  fs.moveItem(result.file, destination);
}

void PackageDownload::verifyChecksum(const FileSystemOperating& fs, const fs::path& file, const std::string& expected,
                                     const std::string& domain, int code) {
  const std::string actual = sha256Hex(
      [&](const std::function<void(std::string_view)>& consume) { fs.readChunks(file, packageReadLimit, consume); });
  if (actual != expected) {
    throw DomainError(domain, code, "Checksum mismatch (expected " + expected + ", got " + actual + ")");
  }
}

}  // namespace bnch
