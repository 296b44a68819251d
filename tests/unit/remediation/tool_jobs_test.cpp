// The tool, language, Git, GitHub and Java jobs, run through the runner with
// scripted programs (and real git and zsh for the Git identity).

#include <gtest/gtest.h>
#include <algorithm>

#include <nlohmann/json.hpp>

#include "engine/platform/live_file_system.h"
#include "engine/platform/live_process_runner.h"
#include "engine/platform/sha256.h"
#include "engine/platform/text.h"
#include "engine/remediation/github_device_sign_in.h"
#include "engine/remediation/runner_text.h"
#include "engine/remediation/tool_install_commands.h"
#include "tests/unit/remediation/recorded_output.h"
#include "tests/unit/remediation/remediation_runner_fixture.h"

namespace bnch {
namespace {

using testing::CannedResponse;
using testing::recordedLines;
using testing::ScriptedReply;
using Kind = SetupRemediation::Kind;
using Event = RemediationEvent;

const std::string brew = "/opt/homebrew/bin/brew";

struct ToolJobs : testing::RemediationRunnerFixture {
  std::vector<Event> run(Kind kind) const { return RemediationRunnerFixture::run(SetupRemediation::of(kind)); }
  void brewAnswers(const std::vector<std::string>& arguments, ScriptedReply reply) {
    process->answer(brew, arguments, std::move(reply));
  }
  // ~/.zprofile made unreadable as a file, so every writer of it fails.
  void blockZprofile() const { std::filesystem::create_directories(real("/Users/alice/.zprofile")); }
  void unblockZprofile() const { std::filesystem::remove_all(real("/Users/alice/.zprofile")); }
};

TEST_F(ToolJobs, HomebrewBackedJobsStopAtOnceWithoutHomebrew) {
  brewPath.reset();
  for (const Kind kind :
       {Kind::installWarp, Kind::installClaudeDesktop, Kind::installZed, Kind::installVSCode, Kind::installZettlr,
        Kind::installObsidian, Kind::installCodexCLI, Kind::installChatGPTDesktop, Kind::installClaudeCLI,
        Kind::installMise, Kind::installTemurin, Kind::installGh}) {
    EXPECT_EQ(run(kind),
              (std::vector<Event>{Event::output(std::string(RunnerText::homebrewMissing)), Event::completed(-1)}))
        << SetupRemediation::of(kind).id();
  }
  EXPECT_TRUE(process->requests().empty());
}

TEST_F(ToolJobs, AppCasksInstallTheirCaskWithThePasswordHelperAndKeepItsExitCode) {
  const struct {
    Kind kind;
    std::string cask;
    int32_t exitCode;
  } cases[] = {
      {Kind::installWarp, "warp", 0},
      {Kind::installVSCode, "visual-studio-code", 0},
      {Kind::installChatGPTDesktop, "chatgpt", 0},
      {Kind::installCodexCLI, "codex", 7},  // fails, and once more on the single retry
  };
  for (const auto& c : cases) {
    const std::string done = "🍺  " + c.cask + " was successfully installed!";
    brewAnswers({"install", "--cask", c.cask},
                ScriptedReply::streams({"==> Installing Cask " + c.cask, done}, c.exitCode));
    const auto events = run(c.kind);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), Event::output("Installing " + c.cask + " with Homebrew…")) << c.cask;
    EXPECT_TRUE(saw(events, done)) << c.cask;
    EXPECT_EQ(events.back(), Event::completed(c.exitCode)) << c.cask;
    const auto environment = *process->requests().back().environment;
    EXPECT_TRUE(environment.at("SUDO_ASKPASS").starts_with("/tmp/bnch-priv-")) << c.cask;
  }
  EXPECT_TRUE(temporaryFolderEmpty());
}

TEST_F(ToolJobs, ClaudeCodeTurnsOnAutoUpdateOnceAndOnlyAfterASuccessfulInstall) {
  const std::vector<std::string> install = {"install", "--cask", "claude-code@latest"};
  brewAnswers(install, ScriptedReply::exits(1));
  EXPECT_EQ(run(Kind::installClaudeCLI).back(), Event::completed(1));
  EXPECT_FALSE(std::filesystem::exists(real("/Users/alice/.zprofile")));

  brewAnswers(install, ScriptedReply::streams({"🍺  claude-code@latest was successfully installed!"}));
  blockZprofile();  // the auto-update line is best effort: the install still succeeded
  auto events = run(Kind::installClaudeCLI);
  EXPECT_TRUE(lines(events).back().starts_with("Couldn't enable Claude Code auto-update: Couldn't read file: "));
  EXPECT_EQ(events.back(), Event::completed(0));
  unblockZprofile();

  events = run(Kind::installClaudeCLI);
  EXPECT_EQ(lines(events).front(), "Installing claude-code@latest with Homebrew…");
  EXPECT_EQ(lines(events).back(),
            "Enabled Claude Code auto-update in ~/.zprofile (backup at /Users/alice/.zprofile.bak).");
  EXPECT_EQ(events.back(), Event::completed(0));
  events = run(Kind::installClaudeCLI);
  EXPECT_EQ(lines(events).back(), "Claude Code auto-update is already enabled in ~/.zprofile.");
  const std::string text = zprofile();
  EXPECT_EQ(text.find("export CLAUDE_CODE_PACKAGE_MANAGER_AUTO_UPDATE=1"),
            text.rfind("export CLAUDE_CODE_PACKAGE_MANAGER_AUTO_UPDATE=1"));
  EXPECT_NE(text.find("export CLAUDE_CODE_PACKAGE_MANAGER_AUTO_UPDATE=1"), std::string::npos);
}

TEST_F(ToolJobs, MiseActivatesItselfAndItsLanguagesRunInOneLoginShell) {
  brewAnswers({"install", "mise"}, ScriptedReply::streams({"==> Pouring mise--2025.1.0.arm64_sequoia.bottle.tar.gz"}));
  auto events = run(Kind::installMise);
  EXPECT_EQ(events.back(), Event::completed(0));
  EXPECT_NE(zprofile().find("mise activate zsh --shims"), std::string::npos);
  EXPECT_NE(fs->readString("/Users/alice/.zshrc").find("eval \"$(mise activate zsh)\""), std::string::npos);
  const std::string afterMise = zprofile();

  const struct {
    Kind kind;
    std::string command;
    ScriptedReply reply;
    std::vector<std::string> lines;
    int32_t exitCode;
  } cases[] = {
      {Kind::installNodeViaMise,
       "mise use -g node@lts",
       ScriptedReply::streams({"mise node@22.12.0 ✓ installed"}),
       {"Running mise use -g node@lts…", "mise node@22.12.0 ✓ installed"},
       0},
      // The setting and the install share one shell: a failed setting skips the install.
      {Kind::installRubyViaMise,
       "mise settings ruby.compile=false && mise use -g ruby@latest",
       ScriptedReply::streams({"mise ERROR unknown setting: ruby.compile"}, 1),
       {"Running mise use -g ruby@latest…", "mise ERROR unknown setting: ruby.compile"},
       1},
      {Kind::installRustViaMise,
       "mise use -g rust",
       ScriptedReply::streams({"zsh:1: command not found: mise"}, 127),
       {"Running mise use -g rust…", "zsh:1: command not found: mise", std::string(kMiseMissing)},
       127},
  };
  for (const auto& c : cases) {
    process->answerShell(c.command, c.reply);
    events = run(c.kind);
    EXPECT_EQ(lines(events), c.lines) << c.command;
    EXPECT_EQ(events.back(), Event::completed(c.exitCode)) << c.command;
    EXPECT_EQ(process->shellCount(c.command), 1u) << c.command;
  }
  EXPECT_EQ(zprofile(), afterMise);  // the languages write nothing
}

TEST_F(ToolJobs, RustupPutsCargoOnThePathOnlyWhenTheInstallerSucceeded) {
  const std::string command(kRustupInstallCommand);
  process->answerShell(command, ScriptedReply::streams({"curl: (6) Could not resolve host: sh.rustup.rs"}, 6));
  auto events = run(Kind::installRustup);
  EXPECT_EQ(lines(events), (std::vector<std::string>{"Installing rustup and the stable Rust toolchain…",
                                                     "curl: (6) Could not resolve host: sh.rustup.rs"}));
  EXPECT_EQ(events.back(), Event::completed(6));
  EXPECT_EQ(zprofile().find(".cargo/bin"), std::string::npos);

  process->answerShell(command, ScriptedReply::streams({"  stable-aarch64-apple-darwin installed - rustc 1.83.0"}));
  events = run(Kind::installRustup);
  EXPECT_EQ(events.back(), Event::completed(0));
  EXPECT_NE(zprofile().find("export PATH=\"$HOME/.cargo/bin:$PATH\""), std::string::npos);
  EXPECT_EQ(process->shellCount(command), 2u);
}

TEST_F(ToolJobs, GitHubSignInAsksForTheBrowserOnceAndTrustsOnlyAuthStatus) {
  const std::string login(GitHubText::loginCommand);
  const std::string status(GitHubText::statusCommand);
  const std::string setupGit(GitHubText::setupGitCommand);
  const std::string device(GitHubText::deviceAddress);
  const struct {
    std::string name;
    ScriptedReply login;
    int32_t status;
    std::optional<Event> browser;
    int32_t exitCode;
  } cases[] = {
      {"2022", ScriptedReply::streams(recordedLines("gh-auth-login-web-2022.txt")), 0,
       Event::openBrowser(device, "B39F-XXXX"), 0},
      {"2023 prompt", ScriptedReply::streams(recordedLines("gh-auth-login-interactive-2023.txt")), 0,
       Event::openBrowser(device, "REDA-CTED"), 0},
      {"2025", ScriptedReply::streams(recordedLines("gh-auth-login-web-2025.txt")), 0,
       Event::openBrowser(device, std::nullopt), 0},
      // The address comes twice; the login itself ends 1 when the person closes it
      // after approving, yet auth status says signed in.
      {"no browser", ScriptedReply::streams(recordedLines("gh-auth-login-no-browser-2024.txt"), 1), 0,
       Event::openBrowser(device, "FC9D-A32F"), 0},
      {"address first",
       ScriptedReply::streams({"Open this URL to continue in your web browser: https://github.com/login/device",
                               "! First copy your one-time code: 9A2C-7F1E"}),
       1, Event::openBrowser(device, std::nullopt), 1},
      {"gh missing", ScriptedReply::failsToStart("No such file or directory"), 1, std::nullopt, 1},
  };
  for (const auto& c : cases) {
    process = std::make_shared<testing::ScriptedProcessRunner>();
    process->answerShell(login, c.login);
    process->answerShell(status, ScriptedReply::exits(c.status));
    process->answerShell(setupGit, ScriptedReply::exits(1));  // best effort
    const auto events = run(Kind::githubAuth);
    std::vector<Event> browsers;
    std::copy_if(events.begin(), events.end(), std::back_inserter(browsers),
                 [](const Event& e) { return std::holds_alternative<Event::OpenBrowser>(e.value); });
    EXPECT_EQ(browsers, c.browser ? std::vector<Event>{*c.browser} : std::vector<Event>{}) << c.name;
    EXPECT_EQ(lines(events).front(), "Starting GitHub sign-in…") << c.name;
    EXPECT_EQ(lines(events).back(), std::string(c.exitCode == 0 ? GitHubText::signedIn : GitHubText::notCompleted))
        << c.name;
    EXPECT_EQ(events.back(), Event::completed(c.exitCode)) << c.name;
    EXPECT_EQ(process->shellCount(setupGit), c.exitCode == 0 ? 1u : 0u) << c.name;
  }
  EXPECT_TRUE(saw(RemediationRunnerFixture::run(SetupRemediation::of(Kind::githubAuth)),
                  "Failed to start: No such file or directory"));
}

TEST_F(ToolJobs, JavaFromHomebrewAndExistingJavaSetJavaHomeOnce) {
  brewAnswers({"install", "--cask", "temurin"}, ScriptedReply::streams({"🍺  temurin was successfully installed!"}));
  const std::string setAfterCask =
      "Set JAVA_HOME in ~/.zprofile (macOS finds `java` on its own; backup at /Users/alice/.zprofile.bak).";
  blockZprofile();  // a JAVA_HOME that cannot be written leaves the install a success
  auto events = run(Kind::installTemurin);
  EXPECT_TRUE(lines(events).back().starts_with("Couldn't set JAVA_HOME: ")) << lines(events).back();
  EXPECT_EQ(events.back(), Event::completed(0));
  // ... but it is all setJavaHome does.
  events = run(Kind::setJavaHome);
  EXPECT_EQ(lines(events).size(), 1u);
  EXPECT_EQ(events.back(), Event::completed(1));
  unblockZprofile();

  events = run(Kind::installTemurin);
  EXPECT_EQ(lines(events), (std::vector<std::string>{"🍺  temurin was successfully installed!", setAfterCask}));
  EXPECT_EQ(events.back(), Event::completed(0));
  EXPECT_EQ(run(Kind::setJavaHome),
            (std::vector<Event>{Event::output("JAVA_HOME is already set in ~/.zprofile."),
                                Event::output("Successful — JAVA_HOME is now set."), Event::completed(0)}));
  EXPECT_NE(zprofile().find("export JAVA_HOME="), std::string::npos);
}

TEST(JavaDownloadProgress, ShowsAboutOneLinePerPercentAndEndsOnTheFullSize) {
  constexpr std::uint64_t MiB = 1048576;
  const struct {
    const char* name;
    std::uint64_t size;
    std::optional<std::uint64_t> total;
    std::uint64_t chunk;
    std::size_t lines;
    std::string first;
    std::string last;
  } cases[] = {
      {"200 MiB JDK", 200 * MiB, 200 * MiB, 16384, 101, "Downloaded 0.0 MB of 200.0 MB",
       "Downloaded 200.0 MB of 200.0 MB"},
      {"unknown size", 3 * MiB, std::nullopt, 65536, 4, "Downloaded 0.1 MB", "Downloaded 3.0 MB"},
      {"small package", MiB / 2, MiB / 2, 4096, 2, "Downloaded 0.0 MB of 0.5 MB", "Downloaded 0.5 MB of 0.5 MB"},
  };
  for (const auto& c : cases) {
    JavaDownloadProgressLines throttle;
    std::vector<std::string> shown;
    for (std::uint64_t received = c.chunk; received <= c.size; received += c.chunk) {
      if (auto line = throttle.next(received, c.total)) shown.push_back(*line);
      if (auto again = throttle.next(received, c.total)) shown.push_back(*again);  // reported twice: shown once
    }
    if (auto held = throttle.finish()) shown.push_back(*held);
    EXPECT_EQ(shown.size(), c.lines) << c.name;
    EXPECT_EQ(shown.front(), c.first) << c.name;
    EXPECT_EQ(shown.back(), c.last) << c.name;
    EXPECT_EQ(std::adjacent_find(shown.begin(), shown.end()), shown.end()) << c.name;
  }
}

// Real git in a login zsh, with a home folder of its own.
struct GitIdentityJob : ::testing::Test {
  testing::TempDir home;
  std::shared_ptr<LiveProcessRunner> process = std::make_shared<LiveProcessRunner>();
  Environment environment{{"HOME", home.path().string()}, {"PATH", "/usr/bin:/bin"}, {"GIT_CONFIG_NOSYSTEM", "1"}};

  std::vector<Event> configure(const std::string& name, const std::string& email) const {
    RemediationServices services{
        .process = process, .fs = std::make_shared<LiveFileSystem>(), .applicationEnvironment = environment};
    return SetupRemediationRunner(services).run(SetupRemediation::configureGit(name, email), "").collect();
  }
  std::string git(const std::vector<std::string>& arguments) const {
    std::vector<std::string> all{"config", "--global"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    const auto result = process->run({.executable = "/usr/bin/git", .arguments = all, .environment = environment});
    return trimmedText(result.stdOut);
  }
  std::string ignoreFile() const {
    return std::filesystem::exists(home / ".config/git/ignore")
               ? LiveFileSystem().readString(home / ".config/git/ignore")
               : "";
  }
};

TEST_F(GitIdentityJob, SavesAnyNameLiterallyAndNeverOverwritesThePersonsChoices) {
  const std::string saving(GitIdentityText::saving);
  const std::string saved(GitIdentityText::saved);
  const struct {
    std::string name;
    std::string email;
    std::vector<std::string> lines;
    int32_t exitCode;
    std::string storedName;
  } cases[] = {
      {"Jo O'Neil", "jo@example.com", {saving, saved}, 0, "Jo O'Neil"},
      {"Ada \"Countess\" $HOME `id` \\ Lovelace",
       "ada@example.com",
       {saving, saved},
       0,
       "Ada \"Countess\" $HOME `id` \\ Lovelace"},
      {"Grace Hopper\n", " grace@example.com\r\n", {saving, saved}, 0, "Grace Hopper"},  // pasted with a line end
      {"Grace\nHopper", "grace@example.com", {saving, std::string(GitIdentityText::lineBreak)}, 1, "Grace Hopper"},
      {"Grace Hopper", "", {saving, std::string(GitIdentityText::missing)}, 1, "Grace Hopper"},
  };
  for (const auto& c : cases) {
    const auto events = configure(c.name, c.email);
    EXPECT_EQ(testing::RemediationRunnerFixture::lines(events), c.lines) << c.name;
    EXPECT_EQ(events.back(), Event::completed(c.exitCode)) << c.name;
    EXPECT_EQ(git({"--get", "user.name"}), c.storedName) << c.name;
  }
  EXPECT_EQ(git({"--get", "user.email"}), "grace@example.com");
  EXPECT_EQ(git({"--get", "init.defaultBranch"}), "main");
  EXPECT_EQ(git({"--get", "fetch.prune"}), "true");
  EXPECT_EQ(ignoreFile(), std::string(kGlobalGitIgnoreText) + "\n");

  // The person's own settings in between are kept.
  git({"pull.rebase", "true"});
  LiveFileSystem().writeData("*.log\n", home / ".config/git/ignore");
  EXPECT_EQ(configure("Jo", "jo@example.com").back(), Event::completed(0));
  EXPECT_EQ(git({"--get", "pull.rebase"}), "true");
  EXPECT_EQ(ignoreFile(), "*.log\n");
}

// The Java package straight from Adoptium; downloads need a real disk.
struct JavaPackageJob : testing::RemediationRunnerFixture {
  const std::string lookup =
      "https://api.adoptium.net/v3/assets/latest/25/hotspot?architecture=aarch64&image_type=jdk&os=mac";
  const std::string packageURL = "https://github.com/adoptium/temurin25-binaries/OpenJDK25U-jdk_aarch64_mac.pkg";
  const std::string package = std::string(3 * 1048576, 'j');

  void SetUp() override {
    fs = std::make_shared<LiveFileSystem>(LiveFileSystemOptions{.homeDirectory = dir / "Users/alice"});
    temporary = dir / "tmp";
    // The releases listing is unreachable (the fetcher knows only these two addresses).
    http->answer(packageURL, CannedResponse{200, package});
    process->answerWhen([](const ProcessRequest& r) { return r.executable == "/usr/bin/osascript"; },
                        ScriptedReply::prints("installer: The install was successful.\n"));
  }
  void listing(const std::string& checksum) const {
    const auto json = nlohmann::json::array(
        {{{"binary", {{"installer", {{"link", packageURL}, {"checksum", checksum}, {"name", "OpenJDK25U.pkg"}}}}},
          {"release_name", "jdk-25+36"}}});
    http->answer(lookup, CannedResponse{200, json.dump()});
  }
  std::string zprofileText() const {
    return std::filesystem::exists(dir / "Users/alice/.zprofile") ? fs->readString(dir / "Users/alice/.zprofile") : "";
  }
};

TEST_F(JavaPackageJob, FallsBackToTheLTSAndReportsEachPhase) {
  listing(std::string(64, '0'));
  auto events = run(SetupRemediation::of(Kind::installTemurinPackage));
  EXPECT_TRUE(lines(events).back().starts_with("Error: Checksum mismatch")) << lines(events).back();
  EXPECT_EQ(events.back(), Event::completed(1));
  EXPECT_EQ(zprofileText(), "");

  listing(sha256Hex(package));
  events = run(SetupRemediation::of(Kind::installTemurinPackage));
  EXPECT_EQ(lines(events),
            (std::vector<std::string>{
                "Couldn't check the newest Java release — installing Java 25 (the current LTS) instead.",
                "Looking up Temurin 25 on Adoptium…", "Downloaded 3.0 MB of 3.0 MB", "Verifying SHA256 checksum…",
                "Running /usr/sbin/installer (macOS will ask for your password)…", "Installer completed.",
                "Set JAVA_HOME in ~/.zprofile (backup at " + (dir / "Users/alice/.zprofile.bak").string() + ")."}));
  EXPECT_EQ(events.back(), Event::completed(0));
  EXPECT_NE(zprofileText().find("export JAVA_HOME="), std::string::npos);
  const auto script = process->requests().back().arguments.at(1);
  EXPECT_NE(script.find("Enter Mac password to install Temurin to /Library/Java/JavaVirtualMachines/"),
            std::string::npos);
}

}  // namespace
}  // namespace bnch
