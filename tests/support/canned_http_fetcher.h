#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <variant>
#include <vector>

#include "engine/platform/http_fetching.h"

namespace bnch::testing {

// A canned answer: a response with a body, or a thrown URLError.
struct CannedResponse {
  long statusCode = 200;
  std::string body;
  HTTPHeaders headers;
};
using CannedAnswer = std::variant<CannedResponse, URLError>;

// An HTTP fetcher that answers from a script and records every request.
// Answers are looked up by exact URL; a URL may have a queue of answers (each
// call takes the next; the last one repeats). `handler`, when set, answers
// everything instead. Unknown URLs throw cannotFindHost.
class CannedHTTPFetcher final : public HTTPFetching {
 public:
  void answer(const std::string& url, CannedAnswer answer);  // replaces the queue
  void answerInOrder(const std::string& url, std::vector<CannedAnswer> answers);
  void setHandler(std::function<CannedAnswer(const HTTPRequest&)> handler);
  // Bytes a `sample` of the URL reports receiving, and the seconds it reports taking.
  void sampleResult(const std::string& url, ThroughputSample sample);

  HTTPDataResult data(const HTTPRequest& request) override;
  HTTPDownloadResult download(const HTTPRequest& request, const DownloadProgress& progress) override;
  ThroughputSample sample(const HTTPRequest& request, std::int64_t maxBytes, double timeoutSeconds) override;

  std::vector<HTTPRequest> requests() const;

 private:
  CannedAnswer next(const HTTPRequest& request);

  mutable std::mutex mutex_;
  std::map<std::string, std::vector<CannedAnswer>> answers_;
  std::map<std::string, ThroughputSample> samples_;
  std::function<CannedAnswer(const HTTPRequest&)> handler_;
  std::vector<HTTPRequest> requests_;
};

}  // namespace bnch::testing
