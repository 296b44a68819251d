// A local stand-in of the Adoptium service for system tests: the releases listing, the
// Java 25 asset listing and the package, a tar archive of a JDK folder (what the
// simulated `installer` unpacks). Reach it from the simulated Mac at baseURL(); it
// stops when the object is destroyed. Users link bnch_test_support and bnch_engine.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "engine/platform/sha256.h"
#include "tests/support/local_http_server.h"
#include "tests/support/temp_dir.h"

namespace bnch::systest {

class AdoptiumStandIn {
 public:
  AdoptiumStandIn() {
    const auto root = dir_ / "root";
    const auto java = root / "Library/Java/JavaVirtualMachines/temurin-25.jdk/Contents/Home/bin/java";
    std::filesystem::create_directories(java.parent_path());
    std::ofstream(java) << "#!/bin/sh\necho 'openjdk version \"25\" 2025-09-16 LTS'\n";
    std::filesystem::permissions(java, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
    const std::string tar = "tar -cf '" + (dir_ / "temurin.pkg").string() + "' -C '" + root.string() + "' Library";
    EXPECT_EQ(std::system(tar.c_str()), 0);
    std::ifstream in(dir_ / "temurin.pkg", std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    package_ = bytes.str();
    checksum = sha256Hex(package_);
  }
  // The checksum the asset listing announces (the package's own unless a test changes it).
  std::string checksum;
  std::string baseURL() const { return server_.url(""); }

 private:
  using Response = bnch::testing::ScriptedResponse;

  bnch::testing::TempDir dir_;
  std::string package_;
  bnch::testing::LocalHTTPServer server_{[this](const bnch::testing::RecordedRequest& request) {
    if (request.target.starts_with("/v3/info/available_releases")) {
      return Response::ok(nlohmann::json{{"most_recent_feature_release", 25}, {"available_releases", {21, 25}}}.dump());
    }
    if (request.target.starts_with("/v3/assets/latest/25/hotspot?architecture=aarch64&image_type=jdk&os=mac")) {
      nlohmann::json installer{{"link", server_.url("/OpenJDK25U-jdk_aarch64_mac_hotspot.pkg")},
                               {"checksum", checksum},
                               {"name", "OpenJDK25U-jdk_aarch64_mac_hotspot.pkg"}};
      return Response::ok(
          nlohmann::json::array({{{"binary", {{"installer", installer}}}, {"release_name", "jdk-25+36"}}}).dump());
    }
    if (request.target == "/OpenJDK25U-jdk_aarch64_mac_hotspot.pkg") return Response::ok(package_);
    return Response::withStatus(404);
  }};
};

}  // namespace bnch::systest
