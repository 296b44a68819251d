#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "engine/product/python_product.h"
#include "engine/remediation/setup_remediation_runner.h"
#include "tests/support/canned_http_fetcher.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/scripted_process_runner.h"
#include "tests/support/temp_dir.h"

namespace bnch {

inline void PrintTo(const RemediationEvent& event, std::ostream* out) {
  if (const auto* line = std::get_if<RemediationEvent::Output>(&event.value)) {
    *out << "output(\"" << line->text << "\")";
  } else if (const auto* done = std::get_if<RemediationEvent::Completed>(&event.value)) {
    *out << "completed(" << done->exitCode << ")";
  } else if (const auto* browser = std::get_if<RemediationEvent::OpenBrowser>(&event.value)) {
    *out << "openBrowser(" << browser->url << ", " << browser->code.value_or("<none>") << ")";
  } else {
    *out << "canceled";
  }
}

namespace testing {

// A Mac in a temporary folder (the home folder is /Users/alice), programs that
// answer from a script, and a runner over them. Waits of the package runner
// return at once.
struct RemediationRunnerFixture : ::testing::Test {
  TempDir dir;
  std::shared_ptr<FileSystemOperating> fs = std::make_shared<RootedFileSystem>(dir.path());
  std::shared_ptr<ScriptedProcessRunner> process = std::make_shared<ScriptedProcessRunner>();
  std::shared_ptr<CannedHTTPFetcher> http = std::make_shared<CannedHTTPFetcher>();
  std::optional<std::string> brewPath = "/opt/homebrew/bin/brew";
  std::filesystem::path temporary = "/tmp";  // as the file system names it
  ResourceLocator::Options resources{.useEnvironment = false, .useSourceTree = false};

  static constexpr const char* reason = "Enter your Mac password to install.";

  RemediationServices services() const {
    return RemediationServices{
        .brewPath = brewPath,
        .process = process,
        .fs = fs,
        .http = http,
        .product = pythonProduct(),
        .applicationEnvironment = {{"HOME", "/Users/alice"}, {"PATH", "/usr/bin:/bin"}},
        .executorOptions = {.temporaryDirectory = temporary,
                            .applicationPath = "/usr/bin:/bin",
                            .dialogTitle = "Benchkit"},
        .resources = resources,
        .sleep = [](double, const KeepAliveStopSignal& stop) { return !stop.stopRequested(); },
    };
  }

  std::vector<RemediationEvent> run(const SetupRemediation& remediation) const {
    return SetupRemediationRunner(services()).run(remediation, reason).collect();
  }

  // The real path of a file of the simulated disk.
  std::filesystem::path real(const std::filesystem::path& path) const { return dir / path.relative_path(); }
  std::string zprofile() const {
    const auto path = real("/Users/alice/.zprofile");
    return std::filesystem::exists(path) ? fs->readString("/Users/alice/.zprofile") : "";
  }
  bool temporaryFolderEmpty() const {
    return !std::filesystem::exists(real(temporary)) || std::filesystem::is_empty(real(temporary));
  }

  static std::vector<std::string> lines(const std::vector<RemediationEvent>& events) {
    std::vector<std::string> texts;
    for (const auto& event : events) {
      if (const auto* line = std::get_if<RemediationEvent::Output>(&event.value)) texts.push_back(line->text);
    }
    return texts;
  }
  static bool saw(const std::vector<RemediationEvent>& events, const std::string& line) {
    return std::find(events.begin(), events.end(), RemediationEvent::output(line)) != events.end();
  }
};

}  // namespace testing
}  // namespace bnch
