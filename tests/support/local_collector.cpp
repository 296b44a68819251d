#include "tests/support/local_collector.h"

#include <nlohmann/json.hpp>

namespace bnch::testing {

namespace {

// The keys of a record, in the order the endpoint's schema lists them.
const std::vector<std::string>& recordKeys() {
  static const std::vector<std::string> keys{"session_id", "run_id",      "client_timestamp", "app_version",
                                             "app_id",     "run_context", "event_name",       "event_data"};
  return keys;
}

}  // namespace

LocalCollector::LocalCollector(long status)
    : status_(status),
      server_(std::make_unique<LocalHTTPServer>([this](const RecordedRequest& request) { return handle(request); })) {}

LocalCollector::~LocalCollector() { stop(); }

void LocalCollector::stop() {
  if (server_) server_->stop();
}

std::string LocalCollector::endpointURL() const { return server_->url(path); }

void LocalCollector::answerWith(long status, std::string body) {
  std::lock_guard lock(mutex_);
  mode_ = Mode::answer;
  status_ = status;
  answerBody_ = std::move(body);
}

void LocalCollector::setMode(Mode mode) {
  std::lock_guard lock(mutex_);
  mode_ = mode;
}

ScriptedResponse LocalCollector::handle(const RecordedRequest& request) {
  Received received;
  std::string authorization = request.header("Authorization");
  if (authorization.starts_with("Bearer ")) received.bearer = authorization.substr(7);
  received.contentType = request.header("Content-Type");
  received.body = request.body;

  std::string problem;
  if (request.method != "POST") problem = "method " + request.method + " instead of POST";
  if (problem.empty() && request.target != path) problem = "path " + request.target;
  if (problem.empty() && received.bearer.empty()) problem = "no bearer token";
  if (problem.empty() && received.contentType != "application/json") problem = "content type " + received.contentType;
  if (problem.empty()) {
    try {
      auto body = nlohmann::ordered_json::parse(request.body);
      if (!body.is_array() || body.size() != 1 || !body[0].is_object()) {
        problem = "body is not a list of one record";
      } else {
        std::vector<std::string> keys;
        for (const auto& [key, value] : body[0].items()) keys.push_back(key);
        if (keys != recordKeys()) problem = "record keys differ: " + body[0].dump();
        JSONValue record = decodeJSON(body[0].dump());
        received.record = std::get<JSONObject>(record.value);
      }
    } catch (const std::exception& error) {
      problem = std::string("body is not JSON: ") + error.what();
    }
  }

  std::lock_guard lock(mutex_);
  if (!problem.empty()) {
    violations_.push_back(problem);
    received.answeredStatus = 400;
    received_.push_back(std::move(received));
    return ScriptedResponse::withStatus(400, "{\"message\":\"bad request\"}");
  }
  switch (mode_) {
    case Mode::hang:
      received_.push_back(std::move(received));
      return ScriptedResponse::of(ScriptedResponse::Behaviour::hang);
    case Mode::drop:
      received_.push_back(std::move(received));
      return ScriptedResponse::of(ScriptedResponse::Behaviour::close);
    case Mode::cutShort: {
      received_.push_back(std::move(received));
      ScriptedResponse response = ScriptedResponse::withStatus(200, "[{\"id\":");
      response.headers.emplace_back("Content-Length", "4096");
      return response;
    }
    case Mode::answer:
      break;
  }
  received.answeredStatus = status_;
  received_.push_back(std::move(received));
  return ScriptedResponse::withStatus(status_, answerBody_);
}

std::vector<LocalCollector::Received> LocalCollector::received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

std::vector<JSONObject> LocalCollector::delivered() const {
  std::lock_guard lock(mutex_);
  std::vector<JSONObject> records;
  for (const auto& item : received_) {
    if (item.answeredStatus >= 200 && item.answeredStatus <= 299) records.push_back(item.record);
  }
  return records;
}

std::vector<std::string> LocalCollector::deliveredNames() const {
  std::vector<std::string> names;
  for (const auto& record : delivered()) {
    auto found = record.find("event_name");
    if (found != record.end()) {
      if (const auto* name = std::get_if<std::string>(&found->second.value)) names.push_back(*name);
    }
  }
  return names;
}

std::size_t LocalCollector::requestCount() const {
  std::lock_guard lock(mutex_);
  return received_.size();
}

std::vector<std::string> LocalCollector::violations() const {
  std::lock_guard lock(mutex_);
  return violations_;
}

}  // namespace bnch::testing
