#include "engine/remediation/brew_runner.h"
#include "engine/product/python_product.h"

#include <gtest/gtest.h>

#include <fstream>

#include "engine/platform/live_file_system.h"
#include "engine/platform/sha256.h"
#include "engine/remediation/domain_error.h"
#include "tests/support/canned_http_fetcher.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/scripted_process_runner.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/remediation/recorded_output.h"

namespace bnch {
namespace {

using testing::CannedHTTPFetcher;
using testing::CannedResponse;
using testing::recordedLines;
using testing::RootedFileSystem;
using testing::ScriptedProcessRunner;
using testing::ScriptedReply;
using testing::TempDir;

const std::string brew = "/opt/homebrew/bin/brew";

struct BrewRunnerFixture : ::testing::Test {
  TempDir dir;
  std::shared_ptr<FileSystemOperating> fs = std::make_shared<RootedFileSystem>(dir.path());
  std::filesystem::path temporary = "/tmp";  // as the file system names it
  std::shared_ptr<ScriptedProcessRunner> process = std::make_shared<ScriptedProcessRunner>();
  std::shared_ptr<CannedHTTPFetcher> http = std::make_shared<CannedHTTPFetcher>();
  std::vector<double> sleeps;

  BrewRunner runner() {
    PrivilegedExecutor executor(
        fs, {.temporaryDirectory = temporary, .applicationPath = "/usr/bin:/bin", .dialogTitle = "Benchkit"});
    BrewRunner::Options options{.applicationEnvironment = {{"HOME", "/Users/alice"}, {"PATH", "/usr/bin:/bin"}},
                                .config = pythonProduct(),
                                .sleep = [this](double seconds, const KeepAliveStopSignal& stop) {
                                  sleeps.push_back(seconds);
                                  return !stop.stopRequested();
                                }};
    return BrewRunner(brew, process, http, fs, executor, AdoptiumAPI(http), options);
  }

  // Answers `brew <arguments>` with each reply in turn.
  void brewAnswers(const std::vector<std::string>& arguments, std::vector<ScriptedReply> replies) {
    process->answerInOrder(brew, arguments, std::move(replies));
  }
  std::vector<std::vector<std::string>> brewCalls() const {
    std::vector<std::vector<std::string>> calls;
    for (const auto& request : process->requests()) {
      if (request.executable == brew) calls.push_back(request.arguments);
    }
    return calls;
  }
  // Downloads arrive as files of this machine, which only the live file system can move.
  void useLiveFileSystem() {
    fs = std::make_shared<LiveFileSystem>(LiveFileSystemOptions{.homeDirectory = dir / "Users/alice"});
    temporary = dir / "tmp";
  }
  std::vector<StreamEvent> cask(const std::string& name, CaskRecoveryPolicy policy = CaskRecoveryPolicy::empty()) {
    return runner().installCask(name, std::move(policy), "Enter Mac password to install " + name + ".").collect();
  }
  bool temporaryFolderEmpty() const {
    return !std::filesystem::exists(dir / "tmp") || std::filesystem::is_empty(dir / "tmp");
  }
  static bool saw(const std::vector<StreamEvent>& events, const std::string& line) {
    return std::find(events.begin(), events.end(), StreamEvent::output(line)) != events.end();
  }
};

TEST_F(BrewRunnerFixture, AFormulaInstallSkipsAutoUpdateAndHasNoPasswordHelper) {
  brewAnswers({"install", "uv"}, {ScriptedReply::streams({"==> Pouring uv--0.5.11.arm64_sequoia.bottle.tar.gz"})});
  EXPECT_EQ(runner().installFormula("uv").collect(),
            (std::vector<StreamEvent>{StreamEvent::output("==> Pouring uv--0.5.11.arm64_sequoia.bottle.tar.gz"),
                                      StreamEvent::completed(0)}));
  const auto environment = *process->requests().front().environment;
  EXPECT_EQ(environment.at("HOMEBREW_NO_AUTO_UPDATE"), "1");
  EXPECT_EQ(environment.count("SUDO_ASKPASS"), 0u);
  EXPECT_EQ(environment.at("PATH"), "/usr/bin:/bin");

  brewAnswers({"install", "gh"}, {ScriptedReply::failsToStart("Permission denied")});
  EXPECT_EQ(runner().installFormula("gh").collect(),
            (std::vector<StreamEvent>{StreamEvent::output("Failed to start brew: Permission denied"),
                                      StreamEvent::completed(-1)}));
}

TEST_F(BrewRunnerFixture, ARecordedLeftoverAppIsForcedOnceWithThePasswordHelper) {
  brewAnswers({"install", "--cask", "slack"},
              {ScriptedReply::streams(recordedLines("cask-leftover-app-slack.txt"), 1)});
  brewAnswers({"install", "--cask", "--force", "slack"},
              {ScriptedReply::streams({"🍺  slack was successfully installed!"})});
  const auto events = cask("slack");
  EXPECT_EQ(brewCalls(), (std::vector<std::vector<std::string>>{{"install", "--cask", "slack"},
                                                                {"install", "--cask", "--force", "slack"}}));
  EXPECT_EQ(events.back(), StreamEvent::completed(0));
  const auto announcement = std::find(events.begin(), events.end(),
                                      StreamEvent::output("A leftover file is blocking the install. Retrying with "
                                                          "`brew install --cask --force slack`…"));
  ASSERT_NE(announcement, events.end());
  EXPECT_EQ(*(announcement - 1), StreamEvent::output(""));
  for (const auto& request : process->requests()) {
    EXPECT_TRUE(request.environment->at("SUDO_ASKPASS").starts_with("/tmp/bnch-priv-"));  // rooted: virtual
    EXPECT_TRUE(request.environment->at("PATH").ends_with(":/usr/bin:/bin"));
  }
  EXPECT_TRUE(temporaryFolderEmpty());

  // A forced attempt that fails too is reported with its own exit code.
  process = std::make_shared<ScriptedProcessRunner>();
  brewAnswers({"install", "--cask", "chrome"},
              {ScriptedReply::streams(recordedLines("cask-leftover-app-google-chrome.txt"), 1)});
  brewAnswers({"install", "--cask", "--force", "chrome"}, {ScriptedReply::streams({"Error: disk full"}, 5)});
  EXPECT_EQ(cask("chrome").back(), StreamEvent::completed(5));
  EXPECT_EQ(brewCalls().size(), 2u);
}

TEST_F(BrewRunnerFixture, PasswordProblemsEndAsCanceledWithoutARetry) {
  for (const char* recorded : {"cask-sudo-no-terminal-firefox.txt", "cask-sudo-no-terminal-pkg.txt"}) {
    process = std::make_shared<ScriptedProcessRunner>();
    brewAnswers({"install", "--cask", "zed"}, {ScriptedReply::streams(recordedLines(recorded), 1)});
    EXPECT_EQ(cask("zed").back(), StreamEvent::canceled()) << recorded;
    EXPECT_EQ(brewCalls().size(), 1u) << recorded;
  }
  EXPECT_TRUE(sleeps.empty());
}

TEST_F(BrewRunnerFixture, ANetworkFailureIsRetriedOnceAfterTwoSeconds) {
  brewAnswers({"install", "--cask", "zed"},
              {ScriptedReply::streams({"curl: (6) Could not resolve host: github.com"}, 1),
               ScriptedReply::streams({"curl: (6) Could not resolve host: github.com"}, 6)});
  const auto events = cask("zed");
  EXPECT_EQ(sleeps, std::vector<double>{2.0});
  EXPECT_TRUE(saw(events, "That didn’t work — retrying once in a moment…"));
  EXPECT_EQ(events.back(), StreamEvent::completed(6));
  EXPECT_EQ(brewCalls().size(), 2u);
}

TEST_F(BrewRunnerFixture, CancellingAHangingCaskStopsBrewAndTheRetryWait) {
  brewAnswers({"install", "--cask", "warp"}, {ScriptedReply::hangs({"==> Downloading https://warp.dev/warp.dmg"})});
  auto cancellable = std::make_shared<CancellableProcess>();
  auto stream = runner().installCask("warp", CaskRecoveryPolicy::empty(), "reason", cancellable);
  EXPECT_EQ(stream.next(), StreamEvent::output("==> Downloading https://warp.dev/warp.dmg"));
  cancellable->cancel();
  EXPECT_EQ(stream.collect(), std::vector<StreamEvent>{StreamEvent::canceled()});
  EXPECT_TRUE(process->calls().front().terminated);
  EXPECT_TRUE(temporaryFolderEmpty());
}

struct JavaFixture : BrewRunnerFixture {
  std::string package = "a Temurin package";
  const std::string lookup =
      "https://api.adoptium.net/v3/assets/latest/25/hotspot?architecture=aarch64&image_type=jdk&os=mac";
  const std::string download = "https://github.com/adoptium/temurin25-binaries/OpenJDK25U.pkg";
  std::string installedBytes;

  void SetUp() override {
    answerLookup(sha256Hex(package));
    http->answer(download, CannedResponse{200, package});
    process->answerWith([](const ProcessRequest& r) { return r.executable == "/usr/bin/osascript"; },
                        [this](const ProcessRequest&) {
                          installedBytes = fs->readData(cachedPackage());
                          return ScriptedReply::prints("installer: The install was successful.");
                        });
  }
  void answerLookup(const std::string& checksum) {
    http->answer(lookup,
                 CannedResponse{200, R"([{"binary": {"installer": {"link": ")" + download + R"(", "checksum": ")" +
                                         checksum + R"(", "name": "OpenJDK25U.pkg"}}, "release_name": "jdk-25+36"}])"});
  }
  std::filesystem::path cachedPackage() const {
    return fs->homeDirectory() / "Library/Caches" / pythonProduct().cacheDirName / "temurin-25-aarch64.pkg";
  }
  std::vector<StreamEvent> temurin(const std::string& name = "temurin") {
    return cask(name, CaskRecoveryPolicy::java(name, fs, AdoptiumAPI(http)));
  }
};

TEST_F(JavaFixture, ABypassedWrapperFallsBackToTheVerifiedPackage) {
  useLiveFileSystem();
  brewAnswers({"install", "--cask", "temurin"},
              {ScriptedReply::streams(recordedLines("cask-sudo-no-terminal-pkg.txt"), 1)});
  const auto events = temurin();
  const std::vector<StreamEvent> tail{
      StreamEvent::output(""),
      StreamEvent::output("Homebrew bypassed our sudo wrapper. Falling back to direct .pkg install…"),
      StreamEvent::output("Looking up Temurin 25 (aarch64) on Adoptium…"),
      StreamEvent::output("GET " + download),
      StreamEvent::output("Saved to " + cachedPackage().string()),
      StreamEvent::output("Verifying download checksum…"),
      StreamEvent::output("Running /usr/sbin/installer (macOS will ask for your password)…"),
      StreamEvent::output("Installer completed."),
      StreamEvent::completed(0)};
  ASSERT_GE(events.size(), tail.size());
  EXPECT_EQ(std::vector<StreamEvent>(events.end() - static_cast<long>(tail.size()), events.end()), tail);
  EXPECT_EQ(installedBytes, package);
  EXPECT_FALSE(fs->fileExists(cachedPackage()));
  EXPECT_TRUE(temporaryFolderEmpty());
}

TEST_F(JavaFixture, FallbackFailuresAreReportedInTheirOwnWords) {
  useLiveFileSystem();
  const auto bypass = ScriptedReply::streams(recordedLines("cask-sudo-no-terminal-pkg.txt"), 1);
  struct Case {
    const char* name;
    std::function<void()> arrange;
    std::vector<StreamEvent> tail;
  };
  const std::vector<Case> cases{
      {"checksum mismatch",
       [this] { answerLookup(std::string(64, 'f')); },
       {StreamEvent::output("Fallback failed: Checksum mismatch (expected " + std::string(64, 'f') + ", got " +
                            sha256Hex(package) + ")"),
        StreamEvent::completed(1)}},
      {"download 404",
       [this] {
         http->answer(download, CannedResponse{404, "Not Found"});
       },
       {StreamEvent::output("Fallback failed: Install-asset download HTTP error"), StreamEvent::completed(1)}},
      {"lookup timed out",
       [this] { http->answer(lookup, URLError(URLErrorCode::timedOut, "The request timed out.")); },
       {StreamEvent::output("Adoptium didn't respond in time. Try again in a moment, or use Other Java install "
                            "methods."),
        StreamEvent::completed(1)}},
      {"dialog dismissed",
       [this] {
         process->answerWhen([](const ProcessRequest& r) { return r.executable == "/usr/bin/osascript"; },
                             ScriptedReply::exits(1).withStderr("execution error: User canceled. (-128)"));
       },
       {StreamEvent::canceled()}},
  };
  for (const auto& c : cases) {
    process = std::make_shared<ScriptedProcessRunner>();
    http = std::make_shared<CannedHTTPFetcher>();
    installedBytes.clear();
    SetUp();
    c.arrange();
    brewAnswers({"install", "--cask", "temurin"}, {bypass});
    const auto events = temurin();
    ASSERT_GE(events.size(), c.tail.size()) << c.name;
    EXPECT_EQ(std::vector<StreamEvent>(events.end() - static_cast<long>(c.tail.size()), events.end()), c.tail)
        << c.name;
    EXPECT_FALSE(fs->fileExists(cachedPackage())) << c.name;
    EXPECT_TRUE(installedBytes.empty() || std::string(c.name) == "dialog dismissed") << c.name;
  }
}

TEST_F(JavaFixture, AStaleCaskroomIsReinstalledOnlyWhileTheJDKIsMissing) {
  // Homebrew's own wording, as recorded for other casks: the rule does not depend on the name.
  const auto stale = ScriptedReply::streams(recordedLines("cask-not-upgrading-already-installed.txt"), 0);
  brewAnswers({"install", "--cask", "temurin"}, {stale});
  brewAnswers({"reinstall", "--cask", "temurin"}, {ScriptedReply::streams({"🍺  temurin was successfully installed!"})});
  const auto events = temurin();
  EXPECT_TRUE(saw(events,
                  "Homebrew reports temurin is already installed, but the JDK is missing from "
                  "/Library/Java/JavaVirtualMachines/. Retrying with `brew reinstall --cask temurin`…"));
  EXPECT_EQ(brewCalls().back(), (std::vector<std::string>{"reinstall", "--cask", "temurin"}));
  EXPECT_EQ(events.back(), StreamEvent::completed(0));

  const auto java = dir / "Library/Java/JavaVirtualMachines/temurin-25.jdk/Contents/Home/bin/java";
  std::filesystem::create_directories(java.parent_path());
  std::ofstream(java) << "#!/bin/sh\n";
  std::filesystem::permissions(java, std::filesystem::perms::owner_all);
  process = std::make_shared<ScriptedProcessRunner>();
  brewAnswers({"install", "--cask", "temurin"}, {stale});
  EXPECT_EQ(temurin().back(), StreamEvent::completed(0));
  EXPECT_EQ(brewCalls().size(), 1u);
  // A versioned cask looks for its own JDK folder only.
  EXPECT_TRUE(CaskRecoveryPolicy::java("temurin@21", fs, AdoptiumAPI(http)).staleCaskroom->artifactMissing());
  EXPECT_FALSE(CaskRecoveryPolicy::java("temurin@25", fs, AdoptiumAPI(http)).staleCaskroom->artifactMissing());
}

TEST_F(JavaFixture, AfterTheRetryTheAlternatesAreTriedInOrder) {
  brewAnswers({"install", "--cask", "temurin@21"},
              {ScriptedReply::streams({"Error: Download failed"}, 1)});  // first attempt and the retry
  brewAnswers({"install", "--cask", "temurin@17"},
              {ScriptedReply::streams({"🍺  temurin@17 was successfully installed!"})});
  const auto events = temurin("temurin@21");
  EXPECT_EQ(brewCalls(), (std::vector<std::vector<std::string>>{{"install", "--cask", "temurin@21"},
                                                                {"install", "--cask", "temurin@21"},
                                                                {"install", "--cask", "temurin@17"}}));
  EXPECT_TRUE(saw(events, "temurin@21 wouldn’t install (a known upstream issue). Trying temurin@17 instead…"));
  EXPECT_EQ(events.back(), StreamEvent::completed(0));
}

TEST(JavaPolicy, VersionsComeFromTheCaskNameAndMustBeNumbers) {
  auto http = std::make_shared<CannedHTTPFetcher>();
  TempDir dir;
  auto fs = std::make_shared<RootedFileSystem>(dir.path());
  const auto fallback = *CaskRecoveryPolicy::java("temurin", fs, AdoptiumAPI(http)).pkgFallback;
  EXPECT_EQ(fallback.versionFromCaskName("temurin@21"), "21");
  EXPECT_EQ(fallback.versionFromCaskName("temurin@"), "25");
  EXPECT_EQ(fallback.versionFromCaskName("temurin"), "25");
  for (const char* bad : {"twenty", "21a", "", "+"}) {
    try {
      fallback.resolveAsset(bad, "aarch64");
      ADD_FAILURE() << bad;
    } catch (const DomainError& error) {
      EXPECT_EQ(error.description(), std::string("Bad Temurin major version: ") + bad);
      EXPECT_EQ(error.code(), 1);
    }
  }
  // "+21" is a number; the lookup then asks Adoptium for 21.
  EXPECT_THROW(fallback.resolveAsset("+21", "aarch64"), URLError);
  EXPECT_NE(http->requests().back().url.find("/v3/assets/latest/21/hotspot"), std::string::npos);
}

}  // namespace
}  // namespace bnch
