#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/remediation/command_line_tools_label.h"
#include "engine/remediation/github_device_sign_in.h"
#include "engine/remediation/runner_text.h"
#include "engine/remediation/tool_install_commands.h"

namespace bnch {
namespace {

std::string recording(const std::string& name) {
  std::ifstream in(std::string(BNCH_TEST_DATA_DIR) + "/" + name, std::ios::binary);
  if (!in) throw std::runtime_error("missing recording " + name);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(CommandLineToolsLabel, ReadsRecordedListingsOfEveryFormat) {
  const struct {
    const char* file;
    std::optional<std::string> label;
  } cases[] = {
      {"softwareupdate-list-catalina.txt", "Command Line Tools for Xcode-11.3"},
      {"softwareupdate-list-ventura.txt", "Command Line Tools for Xcode-14.1"},
      {"softwareupdate-list-two-clt-labels.txt", "Command Line Tools for Xcode-16.0"},
      // Entries without "Label:" are not read: the person is sent to xcode-select.
      {"softwareupdate-list-sierra-old-format.txt", std::nullopt},
      {"softwareupdate-list-yosemite-old-format.txt", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parseCommandLineToolsLabel(recording(c.file)), c.label) << c.file;
    // The job reads standard output + "\n" + standard error.
    EXPECT_EQ(parseCommandLineToolsLabel(recording(c.file) + "\n"), c.label) << c.file;
  }
}

TEST(CommandLineToolsLabel, PicksTheGreatestReleaseLabel) {
  const struct {
    std::vector<std::string> labels;
    std::optional<std::string> expected;
  } cases[] = {
      {{"Command Line Tools for Xcode-16", "Command Line Tools for Xcode-16.0"}, "Command Line Tools for Xcode-16.0"},
      {{"Command Line Tools for Xcode-15.10", "Command Line Tools for Xcode-15.9"},
       "Command Line Tools for Xcode-15.10"},
      // Equal numbers: plain string order.
      {{"Command Line Tools for Xcode-16.0", "Command Line Tools (b) for Xcode-16.0"},
       "Command Line Tools for Xcode-16.0"},
      // A digit run too long to read counts as 0.
      {{"Command Line Tools for Xcode-99999999999999999999999", "Command Line Tools for Xcode-1"},
       "Command Line Tools for Xcode-1"},
      // Betas lose to any release, even one the digit order would put below them.
      {{"Command Line Tools for Xcode-15.3", "Command Line Tools for Xcode-16.0 beta 2"},
       "Command Line Tools for Xcode-15.3"},
      {{"Command Line Tools Beta 9 for Xcode-99.0", "Command Line Tools for Xcode-16.0"},
       "Command Line Tools for Xcode-16.0"},
      {{"Command Line Tools beta 2 for Xcode-16.0", "Command Line Tools beta 3 for Xcode-16.0"},
       "Command Line Tools beta 3 for Xcode-16.0"},
      {{"Command Line Tools for Xcode’s 16.1 (Jane's build)"}, "Command Line Tools for Xcode’s 16.1 (Jane's build)"},
  };
  for (const auto& c : cases) {
    std::string listing = "Software Update found the following new or updated software:\n";
    for (const std::string& label : c.labels) {
      listing += "   * Label: " + label + "  \t\n  \tTitle: " + label + ", Version: 1\n";
    }
    EXPECT_EQ(parseCommandLineToolsLabel(listing), c.expected) << listing;
  }
  EXPECT_EQ(parseCommandLineToolsLabel("* Label: \t \n* Label: Safari-18.1 Command Line Tools"),
            "Safari-18.1 Command Line Tools");
  EXPECT_EQ(parseCommandLineToolsLabel("* Label: macOS Sequoia 15.2-24C101\nLabel:\t \t"), std::nullopt);
}

TEST(CommandLineToolsLabel, LooksUpASecondTimeAndSummarisesWhatItSaw) {
  std::vector<std::string> listings = {"", recording("softwareupdate-list-ventura.txt")};
  std::size_t calls = 0;
  EXPECT_EQ(lookUpCommandLineToolsLabel([&] { return listings.at(calls++); }),
            (CommandLineToolsLookup{"Command Line Tools for Xcode-14.1", listings[1], 2}));

  calls = 0;
  const CommandLineToolsLookup none = lookUpCommandLineToolsLabel([&]() -> std::string {
    if (calls++ == 0) throw std::runtime_error("softwareupdate: not found");
    return "\n";
  });
  EXPECT_EQ(none, (CommandLineToolsLookup{std::nullopt, "\n", 2}));
  EXPECT_EQ(softwareUpdateListingSummary(none.listing), "(softwareupdate -l produced no output)");

  const std::string old = recording("softwareupdate-list-sierra-old-format.txt");
  EXPECT_EQ(softwareUpdateListingSummary(" \n" + old), old.substr(0, old.size() - 1));
  const std::string long701 = std::string(1, 'x') + std::string(700, 'y');
  EXPECT_EQ(softwareUpdateListingSummary(long701 + "\n\n"), "…(truncated)\n" + long701.substr(1));
  EXPECT_EQ(softwareUpdateListingSummary(std::string(700, 'z')), std::string(700, 'z'));
  // The cut never splits a character: the last 700 bytes of 234 three-byte
  // ellipses start inside the first one, so the summary keeps 233 of them.
  std::string ellipses;
  for (int i = 0; i < 234; ++i) ellipses += "…";
  EXPECT_EQ(softwareUpdateListingSummary(ellipses), "…(truncated)\n" + ellipses.substr(3));
}

TEST(CommandLineToolsLabel, InstallScriptQuotesTheLabel) {
  EXPECT_EQ(commandLineToolsInstallScript("Command Line Tools for Jane's Xcode-16.0"),
            "/usr/sbin/softwareupdate -i 'Command Line Tools for Jane'\\''s Xcode-16.0' --verbose\n"
            "/bin/rm -f /tmp/.com.apple.dt.CommandLineTools.installondemand.in-progress\n"
            "/usr/bin/xcode-select --switch /Library/Developer/CommandLineTools 2>/dev/null || "
            "true\n"
            "if [ -d /Library/Developer/CommandLineTools ]; then exit 0; else exit 1; fi");
}

std::vector<GitHubDeviceSignInScanner::BrowserRequest> scanAll(GitHubDeviceSignInScanner& scanner,
                                                               const std::string& output) {
  std::vector<GitHubDeviceSignInScanner::BrowserRequest> requests;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (auto request = scanner.scan(line)) requests.push_back(*request);
  }
  return requests;
}

TEST(GitHubDeviceSignIn, FindsCodeAndAddressInRecordedOutputs) {
  using Request = GitHubDeviceSignInScanner::BrowserRequest;
  const std::string device = "https://github.com/login/device";
  const struct {
    const char* file;
    Request request;
  } cases[] = {
      {"gh-auth-login-web-2022.txt", {device, "B39F-XXXX"}},
      {"gh-auth-login-interactive-2023.txt", {device, "REDA-CTED"}},
      {"gh-auth-login-web-2025.txt", {device, std::nullopt}},  // the code was redacted as "xxx"
  };
  for (const auto& c : cases) {
    GitHubDeviceSignInScanner scanner;
    EXPECT_EQ(scanAll(scanner, recording(c.file)), std::vector<Request>{c.request}) << c.file;
  }
}

TEST(GitHubDeviceSignIn, AddressBeforeCodeAsksForTheBrowserOnce) {
  GitHubDeviceSignInScanner scanner;
  const auto requests = scanAll(scanner,
                                "Open this URL to continue in your web browser: "
                                "https://github.com/login/device\n"
                                "Build 1234-5678 started\n"  // no "code" on the line
                                "! First copy your one-time code: 9A2C-7F1E\n"
                                "! Your one-time code: ZZZZ-ZZZZ\n"
                                "Press Enter to open https://github.com/login/device in your "
                                "browser...\n"
                                "✓ Authentication complete.\n");
  EXPECT_EQ(
      requests,
      (std::vector<GitHubDeviceSignInScanner::BrowserRequest>{{"https://github.com/login/device", std::nullopt}}));
  EXPECT_EQ(scanner.code(), "9A2C-7F1E");
}

TEST(ToolInstallCommands, GitIdentityCommandRefusesEmptyIdentity) {
  EXPECT_EQ(gitIdentityCommand("Ada", ""), std::nullopt);
  EXPECT_EQ(gitIdentityCommand(" \t", "ada@example.com"), std::nullopt);
  const std::optional<std::string> command = gitIdentityCommand("Jo O'Neil", "jo@example.com");
  ASSERT_TRUE(command);
  EXPECT_EQ(command->substr(0, 105),
            "git config --global user.name 'Jo O'\\''Neil' && git config --global user.email "
            "'jo@example.com' && git co");
  EXPECT_NE(command->find(" && printf '%s\\n' '# Created by Benchkit. Files you never want to "
                          "commit, in any repo.\n# macOS\n.DS_Store\n"),
            std::string::npos);
}

TEST(ToolInstallCommands, CommandsAndLines) {
  EXPECT_EQ(kRubyViaMise.command(), "mise settings ruby.compile=false && mise use -g ruby@latest");
  EXPECT_EQ(kNodeViaMise.command(), "mise use -g node@lts");
  EXPECT_EQ(kRustViaMise.announcement(), "Running mise use -g rust…");
  EXPECT_EQ(skillFetchCommand("anthropics/skills", "/tmp/Jo's tmp/bnch-skill-x", "57546260"),
            "git clone --filter=blob:none --no-checkout 'https://github.com/anthropics/skills' "
            "'/tmp/Jo'\\''s tmp/bnch-skill-x' && git -C '/tmp/Jo'\\''s tmp/bnch-skill-x' checkout "
            "'57546260'");
  EXPECT_EQ(pathExportLine("/Users/a/\"$HOME`x`\\bin"), "export PATH=\"/Users/a/\\\"\\$HOME\\`x\\`\\\\bin:$PATH\"");
  EXPECT_EQ(homebrewShellenvLine("/opt/homebrew/bin/brew"), "eval \"$(/opt/homebrew/bin/brew shellenv)\"");
  EXPECT_EQ(javaDownloadProgressLine(3145728, std::nullopt), "Downloaded 3.0 MB");
  EXPECT_EQ(javaDownloadProgressLine(3145728, 0), "Downloaded 3.0 MB");
  EXPECT_EQ(javaDownloadProgressLine(1572864, 199229440), "Downloaded 1.5 MB of 190.0 MB");
}

TEST(RunnerText, ComposedLines) {
  const std::pair<std::string, std::string> cases[] = {
      {RunnerText::directoryAdded("/Users/a/.local/bin", "/Users/a/.zprofile.bak"),
       "Added `/Users/a/.local/bin` to your PATH in ~/.zprofile (backup at /Users/a/.zprofile.bak)."},
      {RunnerText::directoryAlreadyOnPath("/x"), "`/x` is already on your PATH in ~/.zprofile — nothing to do."},
      {RunnerText::fetchingSkill("Skill creator", "anthropics/skills"),
       "Fetching the Skill creator skill from anthropics/skills…"},
      {RunnerText::skillScratchName("skill-creator", "6F1C"), "bnch-skill-skill-creator-6F1C"},
      {RunnerText::javaReleaseFallback(),
       "Couldn't check the newest Java release — installing Java 25 (the current LTS) instead."},
      {RunnerText::lookingUpTemurin(21), "Looking up Temurin 21 on Adoptium…"},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(line, expected);
}

}  // namespace
}  // namespace bnch
