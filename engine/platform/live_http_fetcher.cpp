#include "engine/platform/live_http_fetcher.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>

#include "engine/platform/live_file_system.h"
#include "engine/platform/text.h"

namespace bnch {

namespace {

using Clock = std::chrono::steady_clock;

void ensureCurlInitialised() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string trim(std::string_view text) { return std::string(trimmedOf(text, " \t\r\n")); }

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

// One request on one easy handle: the options every operation shares and the
// response headers as they arrive (only the last response of a redirect chain).
class Transfer {
 public:
  explicit Transfer(const HTTPRequest& request) : request_(request) {
    ensureCurlInitialised();
    curl_ = curl_easy_init();
    if (curl_ == nullptr) throw URLError(URLErrorCode::other, "The network library could not be started.");
    errorBuffer_[0] = '\0';
    curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, errorBuffer_);
    curl_easy_setopt(curl_, CURLOPT_URL, request_.url.c_str());
    curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);  // no SIGALRM: we run on many threads
    curl_easy_setopt(curl_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl_, CURLOPT_MAXREDIRS, 16L);
    curl_easy_setopt(curl_, CURLOPT_ACCEPT_ENCODING, "");  // every decoding libcurl knows
    curl_easy_setopt(curl_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    // The default CA store is the system's trusted roots (the distribution bundle,
    // or the keychain with the platform TLS back end on macOS).
    if (request_.timeoutSeconds > 0) {
      auto milliseconds = static_cast<long>(std::ceil(request_.timeoutSeconds * 1000.0));
      curl_easy_setopt(curl_, CURLOPT_TIMEOUT_MS, std::max(milliseconds, 1L));
    }
    if (request_.stallTimeoutSeconds > 0) {
      curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_LIMIT, 1L);
      curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_TIME, static_cast<long>(std::ceil(request_.stallTimeoutSeconds)));
    }
    if (request_.canceled) {
      curl_easy_setopt(curl_, CURLOPT_NOPROGRESS, 0L);
      curl_easy_setopt(curl_, CURLOPT_XFERINFOFUNCTION, &Transfer::onTick);
      curl_easy_setopt(curl_, CURLOPT_XFERINFODATA, request_.canceled.get());
    }

    if (request_.method == "GET") {
      curl_easy_setopt(curl_, CURLOPT_HTTPGET, 1L);
    } else if (request_.method == "HEAD") {
      curl_easy_setopt(curl_, CURLOPT_NOBODY, 1L);
    } else {
      if (request_.method != "POST") curl_easy_setopt(curl_, CURLOPT_CUSTOMREQUEST, request_.method.c_str());
      if (request_.method == "POST" || !request_.body.empty()) {
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request_.body.size()));
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDS, request_.body.c_str());
      }
    }
    bool hasExpect = false;
    for (const auto& [name, value] : request_.headers) {
      // "Name;" is curl's spelling of a header with an empty value.
      std::string line = value.empty() ? name + ";" : name + ": " + value;
      headerList_ = curl_slist_append(headerList_, line.c_str());
      if (equalsIgnoringCase(name, "Expect")) hasExpect = true;
    }
    if (!hasExpect) headerList_ = curl_slist_append(headerList_, "Expect:");  // no 100-continue round trip
    curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, headerList_);
    curl_easy_setopt(curl_, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    curl_easy_setopt(curl_, CURLOPT_HEADERDATA, this);
  }

  // Progress ticks of a request with a cancel flag: a non-zero answer aborts it.
  static int onTick(void* flag, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0;
  }

  ~Transfer() {
    curl_easy_cleanup(curl_);
    curl_slist_free_all(headerList_);
  }
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  CURL* handle() const { return curl_; }
  // When the final response's headers were complete (absent before that).
  std::optional<Clock::time_point> headersCompleteAt() const { return headersCompleteAt_; }

  HTTPResponse response() const {
    HTTPResponse response;
    curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &response.statusCode);
    char* url = nullptr;
    curl_easy_getinfo(curl_, CURLINFO_EFFECTIVE_URL, &url);
    response.url = url != nullptr ? url : request_.url;
    response.headers = headers_;
    return response;
  }

  URLError error(CURLcode code) const {
    long osError = 0;
    curl_easy_getinfo(curl_, CURLINFO_OS_ERRNO, &osError);
    return makeURLError(code, osError);
  }

 private:
  static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* context) {
    auto* self = static_cast<Transfer*>(context);
    const std::size_t length = size * count;
    std::string line(data, length);
    if (line.rfind("HTTP/", 0) == 0) {  // a new response (after a redirect or 100 Continue)
      self->headers_.clear();
      self->status_ = 0;
      if (auto space = line.find(' '); space != std::string::npos) self->status_ = std::atol(line.c_str() + space + 1);
    } else if (trim(line).empty()) {
      bool redirect = self->status_ >= 300 && self->status_ < 400 && self->hasLocation();
      if (self->status_ >= 200 && !redirect && !self->headersCompleteAt_) self->headersCompleteAt_ = Clock::now();
    } else if (auto colon = line.find(':'); colon != std::string::npos) {
      self->headers_.emplace_back(trim(line.substr(0, colon)), trim(line.substr(colon + 1)));
    }
    return length;
  }

  bool hasLocation() const {
    return std::any_of(headers_.begin(), headers_.end(),
                       [](const auto& header) { return equalsIgnoringCase(header.first, "Location"); });
  }

  HTTPRequest request_;
  CURL* curl_ = nullptr;
  curl_slist* headerList_ = nullptr;
  char errorBuffer_[CURL_ERROR_SIZE];
  HTTPHeaders headers_;
  long status_ = 0;
  std::optional<Clock::time_point> headersCompleteAt_;
};

std::size_t appendToString(char* data, std::size_t size, std::size_t count, void* context) {
  static_cast<std::string*>(context)->append(data, size * count);
  return size * count;
}

struct DownloadState {
  int fd = -1;
  int writeError = 0;
  const DownloadProgress* progress = nullptr;
  const std::atomic<bool>* canceled = nullptr;
  std::int64_t reported = -1;
  std::exception_ptr failure;
};

std::size_t writeToFile(char* data, std::size_t size, std::size_t count, void* context) {
  auto* state = static_cast<DownloadState*>(context);
  std::size_t total = size * count;
  std::size_t done = 0;
  while (done < total) {
    ssize_t wrote = ::write(state->fd, data + done, total - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      state->writeError = errno;
      return 0;
    }
    done += static_cast<std::size_t>(wrote);
  }
  return total;
}

int reportProgress(void* context, curl_off_t expected, curl_off_t received, curl_off_t, curl_off_t) {
  auto* state = static_cast<DownloadState*>(context);
  if (state->canceled != nullptr && state->canceled->load()) return 1;
  if (state->progress == nullptr || !*state->progress || received == state->reported) return 0;
  state->reported = received;
  try {
    (*state->progress)(received, expected);
  } catch (...) {
    state->failure = std::current_exception();
    return 1;  // abort the transfer; the exception is rethrown by download()
  }
  return 0;
}

// The last path component of a URL, to name a download in messages.
std::string downloadName(const std::string& url) {
  std::string path = url.substr(0, url.find_first_of("?#"));
  auto slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return name.empty() ? "download" : name;
}

struct SampleState {
  Transfer* transfer = nullptr;
  std::int64_t target = 1;
  std::int64_t count = 0;
  bool reachedTarget = false;
  std::optional<Clock::time_point> openedAt;
};

std::size_t countBytes(char*, std::size_t size, std::size_t count, void* context) {
  auto* state = static_cast<SampleState*>(context);
  if (!state->openedAt) state->openedAt = state->transfer->headersCompleteAt().value_or(Clock::now());
  auto arrived = static_cast<std::int64_t>(size * count);
  state->count += std::min(arrived, state->target - state->count);
  if (state->count >= state->target) {
    state->reachedTarget = true;
    return 0;  // enough: ends the transfer
  }
  return size * count;
}

}  // namespace

URLError makeURLError(int curlCode, long osError) {
  switch (static_cast<CURLcode>(curlCode)) {
    case CURLE_COULDNT_RESOLVE_HOST:
      return URLError(URLErrorCode::cannotFindHost, "A server with the specified hostname could not be found.");
    case CURLE_COULDNT_RESOLVE_PROXY:
      return URLError(URLErrorCode::dnsLookupFailed, "A server with the specified hostname could not be found.");
    case CURLE_COULDNT_CONNECT:
      if (osError == ENETUNREACH || osError == ENETDOWN) {
        return URLError(URLErrorCode::notConnectedToInternet, "The Internet connection appears to be offline.");
      }
      return URLError(URLErrorCode::cannotConnectToHost, "Could not connect to the server.");
    case CURLE_OPERATION_TIMEDOUT:
      return URLError(URLErrorCode::timedOut, "The request timed out.");
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
      if (osError == ENETUNREACH || osError == ENETDOWN) {
        return URLError(URLErrorCode::notConnectedToInternet, "The Internet connection appears to be offline.");
      }
      return URLError(URLErrorCode::networkConnectionLost, "The network connection was lost.");
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
      return URLError(URLErrorCode::badURL, "unsupported URL");
    case CURLE_ABORTED_BY_CALLBACK:
      return URLError(URLErrorCode::canceled, "cancelled");
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
      return URLError(URLErrorCode::badServerResponse, "The server returned a response that could not be read.");
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
      return URLError(URLErrorCode::other,
                      "An SSL error has occurred and a secure connection to the server cannot be made.");
    case CURLE_TOO_MANY_REDIRECTS:
      return URLError(URLErrorCode::other, "too many HTTP redirects");
    default:
      return URLError(URLErrorCode::other,
                      std::string("The request failed: ") + curl_easy_strerror(static_cast<CURLcode>(curlCode)) + ".");
  }
}

LiveHTTPFetcher::LiveHTTPFetcher(std::filesystem::path downloadFolder) : downloadFolder_(std::move(downloadFolder)) {
  ensureCurlInitialised();
}

HTTPDataResult LiveHTTPFetcher::data(const HTTPRequest& request) {
  Transfer transfer(request);
  HTTPDataResult result;
  curl_easy_setopt(transfer.handle(), CURLOPT_WRITEFUNCTION, &appendToString);
  curl_easy_setopt(transfer.handle(), CURLOPT_WRITEDATA, &result.body);
  CURLcode code = curl_easy_perform(transfer.handle());
  if (code != CURLE_OK) throw transfer.error(code);
  result.response = transfer.response();
  return result;
}

HTTPDownloadResult LiveHTTPFetcher::download(const HTTPRequest& request, const DownloadProgress& progress) {
  Transfer transfer(request);
  std::filesystem::path folder = downloadFolder_;
  if (folder.empty()) {
    const char* temporary = std::getenv("TMPDIR");
    folder = temporary != nullptr && temporary[0] != '\0' ? temporary : "/tmp";
  }
  std::string pattern = (folder / "bnch-download-XXXXXX").string();
  DownloadState state;
  state.fd = createPrivateTemporaryFile(pattern);
  if (state.fd < 0)
    throw URLError(URLErrorCode::other,
                   makeFileSystemError(errno, FileOperation::save, downloadName(request.url)).description());
  state.progress = &progress;
  state.canceled = request.canceled.get();

  curl_easy_setopt(transfer.handle(), CURLOPT_WRITEFUNCTION, &writeToFile);
  curl_easy_setopt(transfer.handle(), CURLOPT_WRITEDATA, &state);
  curl_easy_setopt(transfer.handle(), CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(transfer.handle(), CURLOPT_XFERINFOFUNCTION, &reportProgress);
  curl_easy_setopt(transfer.handle(), CURLOPT_XFERINFODATA, &state);
  CURLcode code = curl_easy_perform(transfer.handle());
  if (code == CURLE_OK && ::fsync(state.fd) != 0 && errno != EINVAL) state.writeError = errno;
  if (::close(state.fd) != 0 && code == CURLE_OK && state.writeError == 0) state.writeError = errno;

  if (code == CURLE_OK && state.writeError == 0) {
    curl_off_t received = 0, expected = 0;
    curl_easy_getinfo(transfer.handle(), CURLINFO_SIZE_DOWNLOAD_T, &received);
    curl_easy_getinfo(transfer.handle(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected);
    try {
      if (progress && received != state.reported) progress(received, std::max<curl_off_t>(expected, 0));
    } catch (...) {
      ::unlink(pattern.c_str());
      throw;
    }
    return HTTPDownloadResult{pattern, transfer.response()};
  }
  ::unlink(pattern.c_str());
  if (state.failure) std::rethrow_exception(state.failure);
  if (state.writeError != 0) {
    throw URLError(URLErrorCode::other,
                   makeFileSystemError(state.writeError, FileOperation::save, downloadName(request.url)).description());
  }
  throw transfer.error(code);
}

ThroughputSample LiveHTTPFetcher::sample(const HTTPRequest& request, std::int64_t maxBytes, double timeoutSeconds) {
  Transfer transfer(request);
  SampleState state;
  state.transfer = &transfer;
  state.target = std::max<std::int64_t>(maxBytes, 1);
  curl_easy_setopt(transfer.handle(), CURLOPT_WRITEFUNCTION, &countBytes);
  curl_easy_setopt(transfer.handle(), CURLOPT_WRITEDATA, &state);

  const auto window = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(std::isfinite(timeoutSeconds) ? std::max(timeoutSeconds, 0.0) : 0.0));
  const auto calledAt = Clock::now();
  std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi(curl_multi_init(), &curl_multi_cleanup);
  if (!multi) throw URLError(URLErrorCode::other, "The network library could not be started.");
  curl_multi_add_handle(multi.get(), transfer.handle());

  bool finished = false;
  CURLcode result = CURLE_OK;
  for (;;) {
    int running = 0;
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
      finished = true;
      result = CURLE_FAILED_INIT;
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
      if (message->msg == CURLMSG_DONE) {
        finished = true;
        result = message->data.result;
      }
    }
    if (!state.openedAt) state.openedAt = transfer.headersCompleteAt();
    if (finished || state.reachedTarget) break;
    int waitMilliseconds = 100;
    if (state.openedAt) {
      auto left = *state.openedAt + window - Clock::now();
      if (left <= Clock::duration::zero()) break;  // the sample's time is up
      auto leftMilliseconds = std::chrono::ceil<std::chrono::milliseconds>(left).count();
      waitMilliseconds = static_cast<int>(std::clamp<long long>(leftMilliseconds, 1, 100));
    }
    curl_multi_poll(multi.get(), nullptr, 0, waitMilliseconds, nullptr);
  }
  const auto endedAt = Clock::now();
  curl_multi_remove_handle(multi.get(), transfer.handle());

  // Not opened: no response arrived, so the failure is the request's.
  if (!state.openedAt && finished && result != CURLE_OK) throw transfer.error(result);
  double seconds = std::chrono::duration<double>(endedAt - state.openedAt.value_or(calledAt)).count();
  return ThroughputSample{state.count, std::max(seconds, 0.0001)};
}

}  // namespace bnch
