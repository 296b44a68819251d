#pragma once

#include <filesystem>

#include "engine/platform/http_fetching.h"

namespace bnch {

// The URL-loading error for a libcurl result code (`osError`: the errno curl saw,
// 0 when unknown), with the platform's wording, e.g. "The request timed out."
// All user-facing network error texts live in this function.
URLError makeURLError(int curlCode, long osError);

// HTTP over libcurl. Stateless: every call uses its own easy handle, so calls may
// run on any number of threads at once. Redirects are followed, compressed bodies
// are decoded, certificates are checked against the system's trusted roots.
// `HTTPRequest::timeoutSeconds` bounds the whole request (0 or less: no limit).
//
// sample(): "opening" the stream lasts until the response headers arrive and is
// bounded by the request's own time-out; a failure there (no such host, refused
// connection, request time-out) is thrown. From then on the body bytes are counted
// until max(maxBytes, 1) have arrived, the sample time-out has passed (negative
// counts as 0) or the stream ends or breaks; the result is the count and the
// seconds since opening (at least 0.0001).
class LiveHTTPFetcher final : public HTTPFetching {
 public:
  // `downloadFolder`: where downloads are written; empty: $TMPDIR, or /tmp.
  explicit LiveHTTPFetcher(std::filesystem::path downloadFolder = {});

  HTTPDataResult data(const HTTPRequest& request) override;
  // The body goes to a private (0600) file in the download folder, removed when
  // the download fails. `progress` (may be empty) runs on the calling thread whenever
  // the received count changes; an exception from it cancels the download and is
  // rethrown.
  HTTPDownloadResult download(const HTTPRequest& request, const DownloadProgress& progress) override;
  ThroughputSample sample(const HTTPRequest& request, std::int64_t maxBytes, double timeoutSeconds) override;

 private:
  std::filesystem::path downloadFolder_;
};

}  // namespace bnch
