#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "engine/platform/live_file_system.h"
#include "engine/platform/live_http_fetcher.h"
#include "engine/platform/sha256.h"
#include "engine/product/python_product.h"
#include "engine/remediation/adoptium_api.h"
#include "engine/remediation/domain_error.h"
#include "engine/remediation/package_download.h"
#include "engine/remediation/pkg_installer.h"
#include "tests/support/canned_http_fetcher.h"
#include "tests/support/local_http_server.h"
#include "tests/support/scripted_process_runner.h"
#include "tests/support/temp_dir.h"

namespace bnch {
namespace {

using testing::CannedHTTPFetcher;
using testing::CannedResponse;
using testing::LocalHTTPServer;
using testing::RecordedRequest;
using testing::ScriptedProcessRunner;
using testing::ScriptedReply;
using testing::ScriptedResponse;
using testing::TempDir;
using Event = PKGInstallerEvent;

const std::string lookupURL =
    "https://api.adoptium.net/v3/assets/latest/25/hotspot?architecture=aarch64&image_type=jdk&os=mac";

std::string assetJSON(const std::string& link, const std::string& checksum) {
  return nlohmann::json::array(
             {{{"binary", {{"installer", {{"link", link}, {"checksum", checksum}, {"name", "OpenJDK25U-jdk.pkg"}}}}},
               {"release_name", "jdk-25+36"}}})
      .dump();
}

// The error text a lookup answered with `body` throws, or "" when it succeeds.
std::string lookupError(const std::string& body) {
  auto http = std::make_shared<CannedHTTPFetcher>();
  http->answer(lookupURL, CannedResponse{200, body});
  try {
    AdoptiumAPI(http).latestInstaller(25, "aarch64");
    return "";
  } catch (const DomainError& error) {
    return error.domain() + " " + std::to_string(error.code()) + ": " + error.description();
  }
}

TEST(AdoptiumAPI, LatestInstallerAsksForTheMacPackageAndNormalisesItsChecksum) {
  auto http = std::make_shared<CannedHTTPFetcher>();
  const std::string upper(64, 'A');
  http->answer(lookupURL, CannedResponse{200, assetJSON("https://github.com/a/OpenJDK25U.pkg", upper)});
  const auto asset = AdoptiumAPI(http).latestInstaller(25, "aarch64");
  EXPECT_EQ(asset, (AdoptiumAPI::AssetMetadata{"https://github.com/a/OpenJDK25U.pkg", std::string(64, 'a'),
                                               "OpenJDK25U-jdk.pkg", "jdk-25+36"}));
  const auto request = http->requests().front();
  EXPECT_EQ(request.headers, (HTTPHeaders{{"Accept", "application/json"}}));
  EXPECT_EQ(request.timeoutSeconds, 20);
}

TEST(AdoptiumAPI, MalformedAnswersGiveTheirOwnErrors) {
  const std::string good(64, 'a');
  const std::vector<std::pair<std::string, std::string>> cases{
      {"[]", "AdoptiumAPI 1: No installer asset for Java 25 on aarch64"},
      {R"([{"binary": {}, "release_name": "jdk-25+36"}])", "AdoptiumAPI 1: No installer asset for Java 25 on aarch64"},
      {assetJSON("not a url", good), "AdoptiumAPI 2: Invalid installer URL from Adoptium"},
      {assetJSON("file:///etc/passwd", good), "AdoptiumAPI 2: Invalid installer URL from Adoptium"},
      {assetJSON("https://x/a.pkg", std::string(63, 'a')),
       "AdoptiumAPI 3: Unexpected checksum format from Adoptium (63 chars)"},
      {assetJSON("https://x/a.pkg", std::string(65, 'a')),
       "AdoptiumAPI 3: Unexpected checksum format from Adoptium (65 chars)"},
      {"<html>Bad gateway</html>", "AdoptiumAPI 4: Adoptium's answer couldn't be read (not JSON)"},
      {R"({"binary": 1})", "AdoptiumAPI 4: Adoptium's answer couldn't be read (not a list of assets)"},
      {R"([{"binary": {"installer": {"link": 7}}}])",
       "AdoptiumAPI 4: Adoptium's answer couldn't be read (\"link\" is not text)"},
  };
  for (const auto& [body, expected] : cases) EXPECT_EQ(lookupError(body), expected) << body;
}

TEST(AdoptiumAPI, AvailableReleasesNeedsARealReleaseNumberAndStatus200) {
  auto http = std::make_shared<CannedHTTPFetcher>();
  const std::string url = "https://api.adoptium.net/v3/info/available_releases";
  AdoptiumAPI api(http);
  http->answer(url, CannedResponse{200, R"({"most_recent_lts": 25, "most_recent_feature_release": 26})"});
  EXPECT_EQ(api.availableReleases(), (AdoptiumAPI::AvailableReleases{25, 26}));
  EXPECT_EQ(http->requests().back().timeoutSeconds, 10);
  http->answer(url, CannedResponse{200, R"({"most_recent_lts": 21})"});
  EXPECT_EQ(api.availableReleases(), (AdoptiumAPI::AvailableReleases{21, std::nullopt}));

  for (const char* body : {R"({"most_recent_lts": 0})", R"({"most_recent_lts": "25"})", "[]", "nope"}) {
    http->answer(url, CannedResponse{200, body});
    EXPECT_THROW(api.availableReleases(), DomainError) << body;
  }
  http->answer(url, CannedResponse{503, R"({"most_recent_lts": 25})"});
  try {
    api.availableReleases();
    FAIL() << "a 503 answer was accepted";
  } catch (const URLError& error) {
    EXPECT_EQ(error.code(), URLErrorCode::badServerResponse);
  }
}

TEST(PKGInstaller, TheAppleScriptQuotesThePathForTheShellAndBothTextsForAppleScript) {
  EXPECT_EQ(PKGInstaller::installerAppleScript("/Users/a/Library/Caches/bnch/temurin-25-aarch64.pkg", "Enter password"),
            "do shell script \"/usr/sbin/installer -pkg '/Users/a/Library/Caches/bnch/temurin-25-aarch64.pkg' "
            "-target /\" with administrator privileges with prompt \"Enter password\"");
  EXPECT_EQ(PKGInstaller::installerAppleScript("/Users/o'neil/$(id)/`x`/\"q\\.pkg", "Say \"yes\" \\ ok"),
            "do shell script \"/usr/sbin/installer -pkg '/Users/o'\\\\''neil/$(id)/`x`/\\\"q\\\\.pkg' -target /\" "
            "with administrator privileges with prompt \"Say \\\"yes\\\" \\\\ ok\"");
}

TEST(PKGInstaller, OsascriptOutcomesMapToSuccessCancelOrFailure) {
  using Kind = PrivilegedInstallResult::Kind;
  const std::vector<std::pair<ScriptedReply, PrivilegedInstallResult>> cases{
      {ScriptedReply::prints("installer: The install was successful.\n"), {Kind::success, ""}},
      {ScriptedReply::exits(1).withStderr("0:120: execution error: User canceled. (-128)\n"), {Kind::canceled, ""}},
      {ScriptedReply::exits(1).withStderr("execution error: USER CANCELED\n"), {Kind::canceled, ""}},
      {ScriptedReply::exits(1).withStderr(
           "  0:99: execution error: The administrator user name or password was incorrect. (-60007)\n\n"),
       {Kind::failure, "0:99: execution error: The administrator user name or password was incorrect. (-60007)"}},
      {ScriptedReply::exits(3), {Kind::failure, "osascript exited 3"}},
      {ScriptedReply::failsToStart("No such file or directory"),
       {Kind::failure, "Failed to start osascript: No such file or directory"}},
  };
  for (const auto& [reply, expected] : cases) {
    ScriptedProcessRunner process;
    process.setFallback(reply);
    EXPECT_EQ(PKGInstaller::runInstaller(process, "/p.pkg", "prompt", std::make_shared<LiveProcessCancellation>()),
              expected);
    EXPECT_EQ(process.requests().front().executable, "/usr/bin/osascript");
  }
}

// The whole install against a local stand-in of the Adoptium service.
struct PackageInstallFixture : ::testing::Test {
  TempDir dir;
  std::string package = std::string(300000, 'j') + "JDK";
  std::string checksum = sha256Hex(package);
  ScriptedResponse packageResponse = ScriptedResponse::ok(package);
  std::string listing;
  LocalHTTPServer server{[this](const RecordedRequest& request) {
    if (request.target.starts_with("/v3/assets/latest/25/hotspot")) return ScriptedResponse::ok(listing);
    if (request.target == "/OpenJDK25U.pkg") return packageResponse;
    return ScriptedResponse::withStatus(404);
  }};
  std::shared_ptr<LiveFileSystem> fs =
      std::make_shared<LiveFileSystem>(LiveFileSystemOptions{.homeDirectory = dir / "home"});
  std::shared_ptr<ScriptedProcessRunner> process = std::make_shared<ScriptedProcessRunner>();
  std::filesystem::path cached = dir / "home/Library/Caches" / pythonProduct().cacheDirName / "temurin-25-aarch64.pkg";
  std::string installedBytes;
  std::thread stopper;

  void SetUp() override {
    listing = assetJSON(server.url("/OpenJDK25U.pkg"), checksum);
    process->answerWith([](const ProcessRequest& r) { return r.executable == "/usr/bin/osascript"; },
                        [this](const ProcessRequest&) {
                          installedBytes = fs->readData(cached);
                          return ScriptedReply::prints("installer: The install was successful.\n");
                        });
  }

  std::vector<Event> install(PKGInstaller::Options options = {}) {
    PKGInstaller installer(process, std::make_shared<LiveHTTPFetcher>(dir.path()), fs,
                           AdoptiumAPI(std::make_shared<LiveHTTPFetcher>(dir.path()), server.url("")), pythonProduct(),
                           options);
    return installer.install(25, "Enter Mac password to install Temurin to /Library/Java/JavaVirtualMachines/")
        .collect();
  }
};

TEST_F(PackageInstallFixture, DownloadsVerifiesInstallsAndRemovesThePackage) {
  std::filesystem::create_directories(cached.parent_path());
  std::ofstream(cached) << "an old download";
  const auto events = install();
  ASSERT_GE(events.size(), 5u);
  EXPECT_EQ(events.front(), Event{Event::Fetching{}});
  const auto& lastDownload = std::get<Event::Downloading>(events[events.size() - 4].value);
  EXPECT_EQ(lastDownload.bytesReceived, static_cast<std::int64_t>(package.size()));
  EXPECT_EQ(lastDownload.totalBytes, static_cast<std::int64_t>(package.size()));
  EXPECT_EQ(std::vector<Event>(events.end() - 3, events.end()),
            (std::vector<Event>{{Event::Verifying{}}, {Event::Installing{}}, {Event::Completed{}}}));
  EXPECT_EQ(installedBytes, package);
  EXPECT_FALSE(std::filesystem::exists(cached));
  const auto script = process->requests().front().arguments.at(1);
  EXPECT_NE(script.find("with prompt \"Enter Mac password to install Temurin"), std::string::npos);
}

TEST_F(PackageInstallFixture, FailuresEndWithOneErrorAndLeaveNoPackage) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    std::string error;
  };
  const std::string pkg = " (pkg: " + cached.string() + ")";
  const std::vector<Case> cases{
      {"checksum mismatch", [this] { listing = assetJSON(server.url("/OpenJDK25U.pkg"), std::string(64, '0')); },
       "Checksum mismatch (expected " + std::string(64, '0') + ", got " + checksum + ")" + pkg},
      {"404", [this] { packageResponse = ScriptedResponse::withStatus(404, "Not Found"); },
       "Adoptium download HTTP error" + pkg},
      {"no asset", [this] { listing = "[]"; }, "No installer asset for Java 25 on aarch64 (pkg: n/a)"},
      // The server goes away after the headers, with the body announced but never sent.
      {"stops halfway",
       [this] {
         packageResponse = ScriptedResponse::of(ScriptedResponse::Behaviour::headersOnly);
         packageResponse.body = package;
         stopper = std::thread([this] {
           server.waitForRequests(2);
           std::this_thread::sleep_for(std::chrono::milliseconds(200));
           server.stop();
         });
       },
       "The network connection was lost." + pkg},
  };
  for (const auto& c : cases) {
    SetUp();
    packageResponse = ScriptedResponse::ok(package);
    c.arrange();
    const auto events = install();
    if (stopper.joinable()) stopper.join();
    ASSERT_FALSE(events.empty()) << c.name;
    EXPECT_EQ(events.back(), Event{Event::Error{c.error}}) << c.name;
    EXPECT_FALSE(std::filesystem::exists(cached)) << c.name;
    EXPECT_TRUE(installedBytes.empty()) << c.name;
  }
}

TEST_F(PackageInstallFixture, ASlowServiceIsAnnouncedOnceAndADismissedDialogIsCanceled) {
  server.setHandler([this](const RecordedRequest& request) {
    if (request.target.starts_with("/v3/assets")) {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      return ScriptedResponse::ok(listing);
    }
    return ScriptedResponse::ok(package);
  });
  process->answerWhen([](const ProcessRequest& r) { return r.executable == "/usr/bin/osascript"; },
                      ScriptedReply::exits(1).withStderr("execution error: User canceled. (-128)"));
  const auto events = install({.slowLookupSeconds = 0.05, .slowDownloadSeconds = 60});
  EXPECT_EQ(std::count(events.begin(), events.end(), Event{Event::SlowResponse{}}), 1);
  EXPECT_EQ(events[1], Event{Event::SlowResponse{}});
  EXPECT_EQ(events.back(), Event{Event::Canceled{}});
  EXPECT_FALSE(std::filesystem::exists(cached));
}

TEST_F(PackageInstallFixture, CancellingAStalledDownloadEndsCanceled) {
  packageResponse = ScriptedResponse::of(ScriptedResponse::Behaviour::headersOnly);
  packageResponse.body = package;
  PKGInstaller installer(process, std::make_shared<LiveHTTPFetcher>(dir.path()), fs,
                         AdoptiumAPI(std::make_shared<LiveHTTPFetcher>(dir.path()), server.url("")), pythonProduct());
  auto stream = installer.install(25, "p");
  EXPECT_EQ(stream.next(), Event{Event::Fetching{}});
  ASSERT_TRUE(server.waitForRequests(2));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  stream.cancel();
  // The work notices within about a second; its package file goes with it.
  for (int i = 0; i < 50 && std::filesystem::exists(cached); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_FALSE(std::filesystem::exists(cached));
  EXPECT_TRUE(process->requests().empty());
}

TEST_F(PackageInstallFixture, ALookupThatTimesOutGivesTheTwentySecondMessage) {
  auto http = std::make_shared<CannedHTTPFetcher>();
  http->setHandler([](const HTTPRequest&) -> testing::CannedAnswer {
    return URLError(URLErrorCode::timedOut, "The request timed out.");
  });
  PKGInstaller installer(process, http, fs, AdoptiumAPI(http), pythonProduct());
  EXPECT_EQ(installer.install(25, "p").collect().back(),
            Event{Event::Error{std::string(PKGInstaller::lookupTimeoutMessage)}});
}

// A JDK package is about 200 MB: far above the limit for the person's own files,
// and its checksum must still be checked (a sparse file keeps the test light on disk).
TEST(PackageDownload, ChecksumsAPackageLargerThanThePersonsFileLimit) {
  TempDir dir;
  const auto package = dir / "large.pkg";
  const std::uint64_t size = FileSystemOperating::defaultReadLimit + 1;
  std::ofstream(package).close();
  std::filesystem::resize_file(package, size);
  const std::string expected = sha256Hex(std::string(size, '\0'));
  const LiveFileSystem fs;
  EXPECT_NO_THROW(PackageDownload::verifyChecksum(fs, package, expected, "PKGInstaller", 3));
  EXPECT_THROW(PackageDownload::verifyChecksum(fs, package, std::string(64, '0'), "PKGInstaller", 3), DomainError);
}

}  // namespace
}  // namespace bnch
