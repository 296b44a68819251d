#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/telemetry/json_value.h"
#include "tests/support/local_http_server.h"

namespace bnch::testing {

// A usage-event collector on 127.0.0.1 for tests: it accepts what the telemetry
// endpoint accepts (POST of a JSON list holding exactly one record, with a
// bearer token) and can be told how to answer. Every request is kept; the
// records of requests that were answered with a 2xx status are "delivered".
// A request that breaks the wire format is answered 400 and noted as a
// violation. Thread-safe.
class LocalCollector {
 public:
  static constexpr const char* path = "/api/database/records/usage_events";

  enum class Mode {
    answer,    // the status set by answerWith (default 201)
    hang,      // read the request, never answer (until the collector stops)
    drop,      // close the connection without answering
    cutShort,  // status 200, announce a body, send part of it and close
  };

  // One request as received.
  struct Received {
    std::string bearer;  // the token after "Bearer ", or "" when absent
    std::string contentType;
    std::string body;
    JSONObject record;        // the one record; empty when the body was not well formed
    long answeredStatus = 0;  // 0 when not answered with a status
  };

  explicit LocalCollector(long status = 201);
  ~LocalCollector();
  LocalCollector(const LocalCollector&) = delete;
  LocalCollector& operator=(const LocalCollector&) = delete;

  // "http://127.0.0.1:<port>/api/database/records/usage_events"
  std::string endpointURL() const;

  void answerWith(long status, std::string body = "");
  void setMode(Mode mode);

  std::vector<Received> received() const;
  // The records answered with 2xx, in arrival order.
  std::vector<JSONObject> delivered() const;
  // The "event_name" of every delivered record.
  std::vector<std::string> deliveredNames() const;
  std::size_t requestCount() const;
  // Wire-format problems seen so far, one sentence each.
  std::vector<std::string> violations() const;

  void stop();

 private:
  ScriptedResponse handle(const RecordedRequest& request);

  mutable std::mutex mutex_;
  Mode mode_ = Mode::answer;
  long status_ = 201;
  std::string answerBody_;
  std::vector<Received> received_;
  std::vector<std::string> violations_;
  std::unique_ptr<LocalHTTPServer> server_;
};

}  // namespace bnch::testing
