#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "engine/platform/live_file_system.h"
#include "engine/product/python_product.h"
#include "engine/remediation/homebrew_index_freshness.h"
#include "engine/remediation/homebrew_installer.h"
#include "engine/remediation/install_output_filter.h"
#include "engine/remediation/privileged_executor.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/scripted_process_runner.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/remediation/recorded_output.h"

namespace bnch {
namespace {

using testing::FaultInjectingFileSystem;
using testing::recordedLines;
using testing::RootedFileSystem;
using testing::ScriptedProcessRunner;
using testing::ScriptedReply;
using testing::TempDir;

std::string readHostFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::uint32_t modeOf(const std::filesystem::path& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 0777;
}

PrivilegedExecutor::Options executorOptions(const std::filesystem::path& temporary) {
  return {.temporaryDirectory = temporary, .applicationPath = "/usr/bin:/bin", .dialogTitle = "Benchkit"};
}

TEST(PrivilegedExecutor, PreparesAPrivateFolderWithBothScriptsAndRemovesItAfterwards) {
  TempDir dir;
  auto fs = std::make_shared<LiveFileSystem>();
  PrivilegedExecutor executor(fs, executorOptions(dir.path()));
  std::filesystem::path folder;
  {
    PrivilegeContext context = executor.prepare("Enter Mac password to install Homebrew.");
    folder = context.folder();
    EXPECT_EQ(folder.parent_path(), dir.path());
    EXPECT_TRUE(folder.filename().string().starts_with("bnch-priv-"));
    EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(modeOf(folder / "askpass.sh"), 0700u);
    EXPECT_EQ(modeOf(folder / "sudo"), 0700u);
    EXPECT_EQ(readHostFile(folder / "sudo"), "#!/bin/bash\nexec /usr/bin/sudo -A \"$@\"");
    EXPECT_EQ(readHostFile(folder / "askpass.sh"),
              "#!/bin/bash\nosascript <<'EOF'\nactivate\n"
              "display dialog \"Enter Mac password to install Homebrew.\" default answer \"\" with hidden answer "
              "with title \"Benchkit\" with icon caution buttons {\"Cancel\", \"OK\"} default button \"OK\"\n"
              "return text returned of result\nEOF");
    EXPECT_EQ(context.environment(), (Environment{{"PATH", folder.string() + ":/usr/bin:/bin"},
                                                  {"SUDO_ASKPASS", (folder / "askpass.sh").string()}}));
  }
  EXPECT_FALSE(std::filesystem::exists(folder));

  // A folder left by a run that was stopped before its clean-up goes with the next
  // prepare once it is old; a recent one may belong to a run still going.
  const auto stale = dir / "bnch-priv-STALE";
  const auto recent = dir / "bnch-priv-RECENT";
  std::filesystem::create_directories(stale);
  std::filesystem::create_directories(recent);
  std::filesystem::last_write_time(stale, std::filesystem::file_time_type::clock::now() - std::chrono::hours(2));
  executor.prepare("x").cleanup();
  EXPECT_FALSE(std::filesystem::exists(stale));
  EXPECT_TRUE(std::filesystem::exists(recent));
  std::filesystem::remove(recent);

  auto noPath = executorOptions(dir.path());
  noPath.applicationPath.reset();
  PrivilegeContext context = PrivilegedExecutor(fs, noPath).prepare("x");
  EXPECT_TRUE(context.environment().at("PATH").ends_with(":/usr/bin:/bin:/usr/sbin:/sbin"));
  context.cleanup();
  context.cleanup();  // idempotent
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// The askpass script really runs: a stand-in osascript records the AppleScript it
// receives, which must be exactly the escaped text, whatever the prompt holds.
TEST(PrivilegedExecutor, AskpassHandsTheShellNothingToExpand) {
  TempDir dir;
  const auto bin = dir / "bin";
  std::filesystem::create_directories(bin);
  const auto record = dir / "applescript.txt";
  {
    std::ofstream fake(bin / "osascript");
    fake << "#!/bin/bash\ncat > '" << record.string() << "'\necho typed-password\n";
  }
  std::filesystem::permissions(bin / "osascript", std::filesystem::perms::owner_all);
  auto fs = std::make_shared<LiveFileSystem>();
  PrivilegedExecutor executor(fs, executorOptions(dir / "tmp"));

  const std::string prompt = "Say \"hi\" C:\\dir $HOME `touch " + (dir / "pwned").string() + "` $(id)\nEOF\necho x";
  PrivilegeContext context = executor.prepare(prompt);
  const std::string command = "PATH='" + bin.string() + "':/usr/bin:/bin '" + context.environment().at("SUDO_ASKPASS") +
                              "' > '" + (dir / "out").string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(readHostFile(dir / "out"), "typed-password\n");
  EXPECT_EQ(readHostFile(record),
            "activate\ndisplay dialog \"Say \\\"hi\\\" C:\\\\dir $HOME `touch " + (dir / "pwned").string() +
                "` $(id)\\nEOF\\necho x\" default answer \"\" with hidden answer with title \"Benchkit\" with icon "
                "caution buttons {\"Cancel\", \"OK\"} default button \"OK\"\nreturn text returned of result\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "pwned"));
}

TEST(PrivilegedExecutor, AnyFailingFileStepLeavesNothingBehind) {
  TempDir dir;
  auto faulty = std::make_shared<FaultInjectingFileSystem>(std::make_shared<LiveFileSystem>());
  PrivilegedExecutor executor(faulty, executorOptions(dir.path()));
  executor.prepare("x").cleanup();
  const int operations = faulty->operationCount() - 1;  // the clean-up's removal is the last one
  ASSERT_GE(operations, 5);
  for (int n = 1; n <= operations; ++n) {
    faulty->failOperation(n, EACCES);
    EXPECT_THROW(executor.prepare("x"), FileSystemError) << "operation " << n;
    faulty->clearFault();
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "operation " << n;
  }
}

struct InstallerFixture : ::testing::Test {
  TempDir dir;
  std::shared_ptr<RootedFileSystem> fs = std::make_shared<RootedFileSystem>(dir.path());
  std::shared_ptr<ScriptedProcessRunner> process = std::make_shared<ScriptedProcessRunner>();

  HomebrewInstaller installer() {
    PrivilegedExecutor executor(fs, executorOptions("/tmp"));
    return HomebrewInstaller(process, fs, executor, {{"HOME", "/Users/alice"}, {"PATH", "/usr/bin:/bin"}},
                             pythonProduct());
  }
  void answerScript(ScriptedReply reply) {
    process->answer("/bin/bash", {"-c", HomebrewInstaller::installCommand()}, std::move(reply));
  }
  std::vector<StreamEvent> run() { return installer().install().collect(); }
  bool temporaryFolderEmpty() const {
    return !std::filesystem::exists(dir / "tmp") || std::filesystem::is_empty(dir / "tmp");
  }
};

TEST_F(InstallerFixture, ASuccessfulInstallRunsTheScriptUnattendedAndAddsShellenvOnce) {
  answerScript(ScriptedReply::streams({"==> Installation successful!"}).then([this](const ProcessRequest&) {
    std::filesystem::create_directories(dir / "opt/homebrew/bin");
    std::ofstream(dir / "opt/homebrew/bin/brew") << "#!/bin/sh\n";
    std::filesystem::permissions(dir / "opt/homebrew/bin/brew", std::filesystem::perms::owner_all);
  }));
  const auto events = run();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0], StreamEvent::output("==> Installation successful!"));
  EXPECT_EQ(events[1],
            StreamEvent::output("Appending brew shellenv to ~/.zprofile (so brew is fully integrated in new shells)."));
  EXPECT_EQ(events[2], StreamEvent::output("Appended. Backup at /Users/alice/.zprofile.bak."));
  EXPECT_EQ(events[3], StreamEvent::completed(0));
  EXPECT_NE(readHostFile(dir / "Users/alice/.zprofile").find("eval \"$(/opt/homebrew/bin/brew shellenv)\""),
            std::string::npos);

  const auto request = process->requests().front();
  ASSERT_TRUE(request.environment);
  EXPECT_EQ(request.environment->at("NONINTERACTIVE"), "1");
  EXPECT_TRUE(request.environment->at("SUDO_ASKPASS").starts_with("/tmp/bnch-priv-"));
  EXPECT_TRUE(request.environment->at("PATH").ends_with(":/usr/bin:/bin"));
  EXPECT_EQ(request.environment->at("HOME"), "/Users/alice");
  EXPECT_TRUE(temporaryFolderEmpty());

  EXPECT_EQ(run()[1], StreamEvent::output("brew shellenv already active in ~/.zprofile — skipping."));
}

TEST_F(InstallerFixture, EndingsOfTheScriptAreToldApart) {
  struct Case {
    const char* name;
    ScriptedReply reply;
    std::vector<StreamEvent> tail;
  };
  const std::vector<Case> cases{
      {"password refused, any capitalisation",
       ScriptedReply::streams({"Authentication FAILED for alice"}, 1),
       {StreamEvent::canceled()}},
      {"dialog dismissed",
       ScriptedReply::streams({"0:160: execution error: User canceled. (-128)"}, 1),
       {StreamEvent::canceled()}},
      {"no askpass (recorded)",
       ScriptedReply::streams(recordedLines("homebrew-install-sudo-no-terminal.txt"), 1),
       {StreamEvent::canceled()}},
      {"network failure",
       ScriptedReply::streams({"curl: (6) Could not resolve host: github.com"}, 1),
       {StreamEvent::completed(1)}},
      {"script missing",
       ScriptedReply::failsToStart("No such file or directory"),
       {StreamEvent::output("Failed to start Homebrew installer: No such file or directory"),
        StreamEvent::completed(-1)}},
      {"the download failed, so the shell ran an empty script and exited 0",
       ScriptedReply::streams({"curl: (6) Could not resolve host: raw.githubusercontent.com"}, 0),
       {StreamEvent::output(std::string(HomebrewInstaller::notInstalled)), StreamEvent::completed(1)}},
  };
  for (const auto& c : cases) {
    answerScript(c.reply);
    const auto events = run();
    ASSERT_GE(events.size(), c.tail.size()) << c.name;
    EXPECT_EQ(std::vector<StreamEvent>(events.end() - static_cast<long>(c.tail.size()), events.end()), c.tail)
        << c.name;
    EXPECT_TRUE(temporaryFolderEmpty()) << c.name;
  }
}

TEST_F(InstallerFixture, AFolderThatCannotBeMadeEndsBeforeTheScript) {
  std::ofstream(dir / "tmp") << "a file where the folder should be";
  EXPECT_EQ(run().back(), StreamEvent::completed(-1));
  EXPECT_TRUE(process->requests().empty());
}

TEST_F(InstallerFixture, CancellingStopsTheScriptAndReportsCanceled) {
  answerScript(ScriptedReply::hangs({"==> Downloading and installing Homebrew..."}));
  auto cancellable = std::make_shared<CancellableProcess>();
  auto stream = installer().install(cancellable);
  EXPECT_EQ(stream.next(), StreamEvent::output("==> Downloading and installing Homebrew..."));
  cancellable->cancel();
  EXPECT_EQ(stream.collect(), std::vector<StreamEvent>{StreamEvent::canceled()});
  EXPECT_TRUE(process->calls().front().terminated);
  EXPECT_TRUE(temporaryFolderEmpty());
}

TEST(InstallOutputFilter, HidesRecordedNextStepsBlocksAndShowsWhatFollows) {
  auto filtered = InstallOutputFilter::filter(recordedLines("homebrew-install-next-steps-2022.txt"));
  ASSERT_GE(filtered.size(), 3u);
  EXPECT_EQ(filtered[filtered.size() - 4], "  https://github.com/Homebrew/brew#donations");
  EXPECT_EQ(filtered[filtered.size() - 1], "user@host dir % ");
  for (const auto& line : filtered) EXPECT_EQ(line.find("brew shellenv"), std::string::npos) << line;

  auto withNoise = recordedLines("homebrew-install-next-steps-2023.txt");
  withNoise.insert(withNoise.begin(),
                   "2024-11-02 10:15:42.123 osascript[4242:98765] +[CATransaction synchronize] called within "
                   "transaction");
  withNoise.push_back("==> Installation successful!");
  EXPECT_EQ(InstallOutputFilter::filter(withNoise), std::vector<std::string>{"==> Installation successful!"});
}

TEST(InstallOutputFilter, ReassuresAfterTheOldMacOSWarningAndStopsABlockAfterThirtyLines) {
  const auto filtered = InstallOutputFilter::filter(recordedLines("homebrew-install-old-macos.txt"));
  ASSERT_GE(filtered.size(), 3u);
  EXPECT_EQ(filtered[1], "==> We (and Apple) do not provide support for this old version.");
  EXPECT_EQ(filtered[2], InstallOutputFilter::oldMacOSNote);

  std::vector<std::string> longBlock{"==> Next steps:"};
  for (int i = 1; i <= 35; ++i) longBlock.push_back("  step " + std::to_string(i));
  const auto shown = InstallOutputFilter::filter(longBlock);
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.front(), "  step 31");
}

TEST(HomebrewIndexFreshness, AgeDecidesTheRefreshOffer) {
  TempDir dir;
  auto fs = std::make_shared<RootedFileSystem>(dir.path());
  HomebrewIndexFreshness freshness(fs);
  const auto now = std::chrono::system_clock::now();
  EXPECT_EQ(freshness.age(now), std::nullopt);
  EXPECT_EQ(HomebrewIndexFreshness::refreshOfferLabel(freshness.age(now)), std::nullopt);

  const std::filesystem::path index = "/Users/alice/Library/Caches/Homebrew/api/formula.jws.json";
  fs->createDirectory(index.parent_path(), true);
  fs->write("{}", index, true);
  FileAttributes attributes;
  attributes.modificationDate = now - std::chrono::hours(25);
  fs->setAttributes(attributes, index);
  const auto age = freshness.age(now);
  ASSERT_TRUE(age);
  EXPECT_NEAR(*age, 25 * 3600, 2);
  EXPECT_EQ(HomebrewIndexFreshness::refreshOfferLabel(age),
            "Update Homebrew's package list first (yours is 25 hours old)");

  const std::vector<std::pair<double, std::optional<std::string>>> cases{
      {23 * 3600, std::nullopt},
      {47 * 3600 + 3599, "Update Homebrew's package list first (yours is 47 hours old)"},
      {48 * 3600, "Update Homebrew's package list first (yours is 2 days old)"},
      {30 * 86400, "Update Homebrew's package list first (yours is 30 days old)"},
  };
  for (const auto& [seconds, label] : cases) EXPECT_EQ(HomebrewIndexFreshness::refreshOfferLabel(seconds), label);
}

}  // namespace
}  // namespace bnch
