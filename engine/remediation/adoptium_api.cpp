#include "engine/remediation/adoptium_api.h"
#include "engine/platform/text.h"

#include <curl/curl.h>

#include <memory>
#include <nlohmann/json.hpp>

#include "engine/remediation/domain_error.h"
#include "engine/remediation/install_transcript.h"

namespace bnch {

namespace {

using CurlURL = std::unique_ptr<CURLU, decltype(&curl_url_cleanup)>;

DomainError unreadableAnswer(const std::string& detail) {
  return DomainError(std::string(AdoptiumAPI::domain), 4, "Adoptium's answer couldn't be read (" + detail + ")");
}

// The address with the query items appended (each value URL-encoded).
std::string withQuery(const std::string& address, std::initializer_list<std::pair<const char*, std::string>> items) {
  CurlURL url(curl_url(), &curl_url_cleanup);
  if (!url || curl_url_set(url.get(), CURLUPART_URL, address.c_str(), 0) != CURLUE_OK) {
    throw URLError(URLErrorCode::badURL, "bad URL: " + address);
  }
  for (const auto& [name, value] : items) {
    const std::string item = std::string(name) + "=" + value;
    if (curl_url_set(url.get(), CURLUPART_QUERY, item.c_str(), CURLU_APPENDQUERY | CURLU_URLENCODE) != CURLUE_OK) {
      throw URLError(URLErrorCode::badURL, "bad URL: " + address);
    }
  }
  char* text = nullptr;
  if (curl_url_get(url.get(), CURLUPART_URL, &text, 0) != CURLUE_OK) throw URLError(URLErrorCode::badURL, "bad URL");
  std::string result(text);
  curl_free(text);
  return result;
}

// True for an absolute http or https address with a host.
bool isWebAddress(const std::string& address) {
  CurlURL url(curl_url(), &curl_url_cleanup);
  if (!url || curl_url_set(url.get(), CURLUPART_URL, address.c_str(), 0) != CURLUE_OK) return false;
  char* scheme = nullptr;
  if (curl_url_get(url.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK) return false;
  const std::string text(scheme);
  curl_free(scheme);
  return text == "https" || text == "http";
}

const nlohmann::json& member(const nlohmann::json& object, const char* key) {
  if (!object.is_object() || !object.contains(key)) throw unreadableAnswer("no \"" + std::string(key) + "\"");
  return object.at(key);
}

std::string stringMember(const nlohmann::json& object, const char* key) {
  const auto& value = member(object, key);
  if (!value.is_string()) throw unreadableAnswer("\"" + std::string(key) + "\" is not text");
  return value.get<std::string>();
}

int positiveIntegerMember(const nlohmann::json& object, const char* key) {
  const auto& value = member(object, key);
  if (!value.is_number_integer() || value.get<long long>() < 1 || value.get<long long>() > 100000) {
    throw unreadableAnswer("\"" + std::string(key) + "\" is not a Java release number");
  }
  return value.get<int>();
}

}  // namespace

AdoptiumAPI::AdoptiumAPI(std::shared_ptr<HTTPFetching> http, std::string baseURL)
    : http_(std::move(http)), baseURL_(std::move(baseURL)) {
  while (!baseURL_.empty() && baseURL_.back() == '/') baseURL_.pop_back();
}

std::string AdoptiumAPI::getJSON(const std::string& url, double timeoutSeconds) const {
  HTTPRequest request{.url = url, .headers = {{"Accept", "application/json"}}, .timeoutSeconds = timeoutSeconds};
  auto result = http_->data(request);
  if (result.response.statusCode != 200) {
    throw URLError(URLErrorCode::badServerResponse,
                   "Adoptium answered with HTTP status " + std::to_string(result.response.statusCode));
  }
  return std::move(result.body);
}

AdoptiumAPI::AvailableReleases AdoptiumAPI::availableReleases() const {
  const auto body = getJSON(withQuery(baseURL_ + "/v3/info/available_releases", {}), 10);
  const auto json = nlohmann::json::parse(body, nullptr, false);
  if (json.is_discarded()) throw unreadableAnswer("not JSON");
  AvailableReleases releases;
  releases.mostRecentLTS = positiveIntegerMember(json, "most_recent_lts");
  if (json.contains("most_recent_feature_release") && !json.at("most_recent_feature_release").is_null()) {
    releases.mostRecentFeatureRelease = positiveIntegerMember(json, "most_recent_feature_release");
  }
  return releases;
}

AdoptiumAPI::AssetMetadata AdoptiumAPI::latestInstaller(int major, const std::string& architecture) const {
  const auto url = withQuery(baseURL_ + "/v3/assets/latest/" + std::to_string(major) + "/hotspot",
                             {{"architecture", architecture}, {"image_type", "jdk"}, {"os", "mac"}});
  const auto json = nlohmann::json::parse(getJSON(url, 20), nullptr, false);
  if (json.is_discarded()) throw unreadableAnswer("not JSON");
  if (!json.is_array()) throw unreadableAnswer("not a list of assets");
  const nlohmann::json* installer = nullptr;
  if (!json.empty()) {
    const auto& binary = member(json.front(), "binary");
    if (binary.is_object() && binary.contains("installer") && !binary.at("installer").is_null()) {
      installer = &binary.at("installer");
    }
  }
  if (installer == nullptr) {
    throw DomainError(std::string(domain), 1,
                      "No installer asset for Java " + std::to_string(major) + " on " + architecture);
  }
  AssetMetadata asset;
  asset.downloadURL = stringMember(*installer, "link");
  if (!isWebAddress(asset.downloadURL))
    throw DomainError(std::string(domain), 2, "Invalid installer URL from Adoptium");
  asset.checksum = lowercasedASCII(stringMember(*installer, "checksum"));
  if (asset.checksum.size() != 64) {
    throw DomainError(std::string(domain), 3,
                      "Unexpected checksum format from Adoptium (" + std::to_string(asset.checksum.size()) + " chars)");
  }
  asset.filename = stringMember(*installer, "name");
  asset.releaseName = stringMember(json.front(), "release_name");
  return asset;
}

}  // namespace bnch
