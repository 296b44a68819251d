#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <ostream>
#include <sstream>

#include "engine/platform/shell_quote.h"
#include "engine/product/python_product.h"
#include "engine/remediation/command_line_tools_label.h"
#include "engine/remediation/runner_text.h"
#include "engine/remediation/setup_remediation_runner.h"
#include "tests/support/canned_http_fetcher.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/scripted_process_runner.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/remediation/remediation_runner_fixture.h"

namespace bnch {

namespace {

using testing::CannedHTTPFetcher;
using testing::FaultInjectingFileSystem;
using testing::RootedFileSystem;
using testing::ScriptedProcessRunner;
using testing::ScriptedReply;
using testing::TempDir;
using Events = std::vector<RemediationEvent>;
using Kind = SetupRemediation::Kind;

const std::string brew = "/opt/homebrew/bin/brew";
const std::string softwareUpdate = "/usr/sbin/softwareupdate";
const std::string marker(kCommandLineToolsMarker);

RemediationEvent line(std::string_view text) { return RemediationEvent::output(std::string(text)); }
RemediationEvent completed(int32_t code) { return RemediationEvent::completed(code); }

// A Mac of files under a temporary folder, scripted programs, and the runner over them.
struct ScriptedMac {
  TempDir dir;
  std::shared_ptr<RootedFileSystem> rooted = std::make_shared<RootedFileSystem>(dir.path());
  std::shared_ptr<FaultInjectingFileSystem> fs = std::make_shared<FaultInjectingFileSystem>(rooted);
  std::shared_ptr<ScriptedProcessRunner> process = std::make_shared<ScriptedProcessRunner>();
  std::optional<std::string> brewPath;
  std::function<bool(double, const KeepAliveStopSignal&)> sleep = [](double, const KeepAliveStopSignal& stop) {
    return stop.waitFor(60);
  };

  ScriptedMac() { std::filesystem::create_directories(dir / "tmp"); }

  SetupRemediationRunner runner() {
    return SetupRemediationRunner(RemediationServices{
        .brewPath = brewPath,
        .process = process,
        .fs = fs,
        .http = std::make_shared<CannedHTTPFetcher>(),
        .product = pythonProduct(),
        .applicationEnvironment = {{"HOME", "/Users/alice"}, {"PATH", "/usr/bin:/bin"}, {"LANG", "en_US.UTF-8"}},
        .executorOptions = {.temporaryDirectory = "/tmp",
                            .applicationPath = "/usr/bin:/bin",
                            .dialogTitle = "Benchkit"},
        .resources = {.resourcesDirectory = "/resources", .useEnvironment = false, .useSourceTree = false},
        .sleep = sleep,
    });
  }
  Events run(const SetupRemediation& remediation) { return runner().run(remediation, "Benchkit").collect(); }

  std::string read(const std::string& path) const {
    std::ifstream in(dir / path.substr(1), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void write(const std::string& path, const std::string& text) const {
    std::filesystem::create_directories((dir / path.substr(1)).parent_path());
    std::ofstream(dir / path.substr(1)) << text;
  }
  bool temporaryFolderEmpty() const { return std::filesystem::is_empty(dir / "tmp"); }
  std::vector<ProcessRequest> requestsFor(const std::string& executable) const {
    std::vector<ProcessRequest> found;
    for (const auto& request : process->requests()) {
      if (request.executable == executable) found.push_back(request);
    }
    return found;
  }
  void everyChildRanInANewSession() const {
    for (const ProcessRequest& request : process->requests()) {
      EXPECT_TRUE(request.newSession) << request.executable;
    }
  }
};

struct PythonPathJobs : ::testing::Test, ScriptedMac {};

TEST_F(PythonPathJobs, CommandLineToolsInstallWithTheLabelAppleOffers) {
  const std::string listing =
      "Software Update Tool\n\nFinding available software\nSoftware Update found the following new or updated "
      "software:\n"
      "* Label: Command Line Tools beta 2 for Xcode-17.0\n\tTitle: Command Line Tools beta 2, Version: 17.0\n"
      "   * Label: Command Line Tools for Xcode-16.0\n\tTitle: Command Line Tools for Xcode, Version: 16.0\n"
      "\t* Label: Command Line Tools for Xcode's-15.3\n";
  process->answer("/usr/bin/touch", {marker}, ScriptedReply::exits(0));
  process->answer("/bin/rm", {"-f", marker}, ScriptedReply::exits(0));
  process->answer(softwareUpdate, {"-l"}, ScriptedReply::prints(listing));
  process->answerWhen([](const ProcessRequest& r) { return r.executable == "/usr/bin/sudo"; },
                      ScriptedReply::streams({"Downloading Command Line Tools for Xcode", "Done."}));

  EXPECT_EQ(run(SetupRemediation::of(Kind::installCommandLineTools)),
            (Events{line(CommandLineToolsText::checking), line("Found: Command Line Tools for Xcode-16.0"),
                    line(CommandLineToolsText::installing), line("Downloading Command Line Tools for Xcode"),
                    line("Done."), line(CommandLineToolsText::installed), completed(0)}));
  // A beta label never wins over a release one; the release label goes to sudo whole, quoted.
  const auto sudo = requestsFor("/usr/bin/sudo");
  ASSERT_EQ(sudo.size(), 1u);
  EXPECT_EQ(std::vector<std::string>(sudo[0].arguments.begin(), sudo[0].arguments.begin() + 3),
            (std::vector<std::string>{"-A", "/bin/bash", "-c"}));
  EXPECT_EQ(sudo[0].arguments[3], commandLineToolsInstallScript("Command Line Tools for Xcode-16.0"));
  // The password helper's variables are laid over the application's own.
  const Environment& environment = *sudo[0].environment;
  EXPECT_EQ(environment.at("LANG"), "en_US.UTF-8");
  EXPECT_TRUE(environment.at("SUDO_ASKPASS").starts_with("/tmp/bnch-priv-"));
  EXPECT_TRUE(environment.at("PATH").starts_with("/tmp/bnch-priv-"));
  EXPECT_TRUE(temporaryFolderEmpty());
  EXPECT_EQ(process->count("/usr/bin/touch", {marker}), 1u);
  everyChildRanInANewSession();
}

TEST(PythonPathJobsTable, CommandLineToolsEndingsOtherThanSuccess) {
  const std::string label = "Command Line Tools for Xcode's-16.0";
  const std::string offered = "* Label: " + label + "\n";
  const std::string long701 = "x" + std::string(700, 'y');
  struct Case {
    const char* story;
    std::function<void(ScriptedMac&)> script;
    Events expected;
    std::size_t lookups;
    bool systemReason = false;
  };
  const std::vector<Case> cases = {
      {"tools already there: no line at all",
       [](ScriptedMac& mac) { mac.write("/Library/Developer/CommandLineTools/usr/bin/clang", ""); },
       {completed(0)},
       0},
      {"nothing offered, twice",
       [](ScriptedMac& mac) { mac.process->answer(softwareUpdate, {"-l"}, ScriptedReply::prints("")); },
       {line(CommandLineToolsText::checking), line(CommandLineToolsText::notOffered),
        line(CommandLineToolsText::listingHeading), line("(softwareupdate -l produced no output)"), completed(1)},
       2},
      {"a long listing without the tools is summarised",
       [&](ScriptedMac& mac) { mac.process->answer(softwareUpdate, {"-l"}, ScriptedReply::prints(long701)); },
       {line(CommandLineToolsText::checking), line(CommandLineToolsText::notOffered),
        line(CommandLineToolsText::listingHeading), line("…(truncated)\n" + long701.substr(1)), completed(1)},
       2},
      {"offered only on the second look; the password is refused",
       [&](ScriptedMac& mac) {
         mac.process->answerInOrder(softwareUpdate, {"-l"},
                                    {ScriptedReply::prints(""), ScriptedReply::prints(offered)});
         mac.process->answerWhen([](const ProcessRequest& r) { return r.executable == "/usr/bin/sudo"; },
                                 ScriptedReply::streams({"sudo: 3 incorrect password attempts"}, 1));
       },
       {line(CommandLineToolsText::checking), line("Found: " + label), line(CommandLineToolsText::installing),
        line("sudo: 3 incorrect password attempts"), line(CommandLineToolsText::notCompleted), completed(1)},
       2},
      {"sudo cannot start",
       [&](ScriptedMac& mac) {
         mac.process->answer(softwareUpdate, {"-l"}, ScriptedReply::prints(offered));
         mac.process->answerWhen([](const ProcessRequest& r) { return r.executable == "/usr/bin/sudo"; },
                                 ScriptedReply::failsToStart("Permission denied"));
       },
       {line(CommandLineToolsText::checking), line("Found: " + label), line(CommandLineToolsText::installing),
        line("Couldn't start the install: Permission denied"), completed(-1)},
       1},
      {"the password helper cannot be written",
       [&](ScriptedMac& mac) {
         mac.process->answer(softwareUpdate, {"-l"}, ScriptedReply::prints(offered));
         mac.fs->failFromOperation(1, ENOSPC);
       },
       {line(CommandLineToolsText::checking), line("Found: " + label), line(CommandLineToolsText::couldNotStartPrefix),
        completed(-1)},
       1,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.story);
    ScriptedMac mac;
    mac.process->setFallback(ScriptedReply::exits(0));
    c.script(mac);
    Events events = mac.run(SetupRemediation::of(Kind::installCommandLineTools));
    mac.fs->clearFault();
    // A file-system failure's reason is the system's own words: only the prefix is fixed.
    for (RemediationEvent& event : events) {
      auto* output = std::get_if<RemediationEvent::Output>(&event.value);
      if (c.systemReason && output && output->text.starts_with(CommandLineToolsText::couldNotStartPrefix)) {
        output->text = std::string(CommandLineToolsText::couldNotStartPrefix);
      }
    }
    EXPECT_EQ(events, c.expected);
    EXPECT_TRUE(mac.temporaryFolderEmpty());
    EXPECT_EQ(mac.process->count(softwareUpdate, {"-l"}), c.lookups);
    // The marker made for the lookup is removed on every ending after it was made.
    EXPECT_EQ(mac.process->count("/usr/bin/touch", {marker}), mac.process->count("/bin/rm", {"-f", marker}));
    // A label with an apostrophe reaches softwareupdate intact inside single quotes.
    const auto sudo = mac.requestsFor("/usr/bin/sudo");
    if (!sudo.empty()) {
      EXPECT_NE(sudo[0].arguments[3].find("-i 'Command Line Tools for Xcode'\\''s-16.0' --verbose"), std::string::npos);
    }
  }
}

TEST_F(PythonPathJobs, CancelingTheCommandLineToolsInstallStopsSudoAndCleansUp) {
  process->setFallback(ScriptedReply::exits(0));
  process->answer(softwareUpdate, {"-l"}, ScriptedReply::prints("* Label: Command Line Tools for Xcode-16.1\n"));
  process->answerWhen([](const ProcessRequest& r) { return r.executable == "/usr/bin/sudo"; },
                      ScriptedReply::hangs({"Downloading…"}));
  SetupRemediationRunner live = runner();
  auto events = live.run(SetupRemediation::of(Kind::installCommandLineTools), "Benchkit");
  while (auto event = events.next()) {
    if (*event == line("Downloading…")) break;
  }
  events.cancel();
  ASSERT_TRUE(live.waitForJobs(std::chrono::seconds(5)));
  const auto calls = process->calls();
  const auto sudo = std::find_if(calls.begin(), calls.end(),
                                 [](const auto& call) { return call.request.executable == "/usr/bin/sudo"; });
  ASSERT_NE(sudo, calls.end());
  EXPECT_TRUE(sudo->terminated);
  EXPECT_TRUE(temporaryFolderEmpty());
  EXPECT_EQ(process->count("/bin/rm", {"-f", marker}), 1u);
}

TEST_F(PythonPathJobs, PathRepairsWriteOnceKeepTheFolderLiteralAndReportFailures) {
  struct Case {
    SetupRemediation remediation;
    std::string line;  // what ~/.zprofile receives
    std::string added;
    std::string already;
  };
  const std::string odd = "/Users/alice/my \"tools\" $HOME `x`";
  write("/usr/local/bin/brew", "");
  const std::vector<Case> cases = {
      {SetupRemediation::of(Kind::repairHomebrewPath), "eval \"$(/usr/local/bin/brew shellenv)\"",
       RunnerText::shellenvAdded("/Users/alice/.zprofile.bak"), std::string(RunnerText::shellenvAlreadyActive)},
      {SetupRemediation::repairPath("/Users/alice/.local/bin"), "export PATH=\"/Users/alice/.local/bin:$PATH\"",
       RunnerText::directoryAdded("/Users/alice/.local/bin", "/Users/alice/.zprofile.bak"),
       RunnerText::directoryAlreadyOnPath("/Users/alice/.local/bin")},
      {SetupRemediation::repairPath(odd), "export PATH=\"" + shellDoubleQuoteEscape(odd) + ":$PATH\"",
       RunnerText::directoryAdded(odd, "/Users/alice/.zprofile.bak"), RunnerText::directoryAlreadyOnPath(odd)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    write("/Users/alice/.zprofile", "# mine\n");
    std::filesystem::remove(dir / "Users/alice/.zprofile.bak");
    EXPECT_EQ(run(c.remediation), (Events{line(c.added), completed(0)}));
    EXPECT_EQ(run(c.remediation), (Events{line(c.already), completed(0)}));
    const std::string zprofile = read("/Users/alice/.zprofile");
    EXPECT_EQ(std::count(zprofile.begin(), zprofile.end(), '\n'), 4) << zprofile;  // mine, blank, marker, line
    EXPECT_TRUE(zprofile.ends_with(c.line + "\n")) << zprofile;
    EXPECT_EQ(read("/Users/alice/.zprofile.bak"), "# mine\n");
  }
  // The written line, run by a real shell, puts the folder first exactly as named.
  const std::string shell = "PATH=/usr/bin; " + cases[2].line + "; printf %s \"$PATH\"";
  FILE* pipe = ::popen(("/bin/bash -c " + shellSingleQuote(shell)).c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char buffer[256] = {};
  const std::size_t got = std::fread(buffer, 1, sizeof buffer - 1, pipe);
  ::pclose(pipe);
  EXPECT_EQ(std::string(buffer, got), odd + ":/usr/bin");

  // No Homebrew to repair, and a ~/.zprofile that cannot be written.
  std::filesystem::remove(dir / "usr/local/bin/brew");
  EXPECT_EQ(run(SetupRemediation::of(Kind::repairHomebrewPath)),
            (Events{line(RunnerText::homebrewNotInstalled), completed(1)}));
  write("/Users/alice/.zprofile", "# mine\n");
  fs->failFromOperation(1, EACCES);
  const Events failed = run(SetupRemediation::repairPath("/Users/alice/.cargo/bin"));
  fs->clearFault();
  ASSERT_EQ(failed.size(), 2u);
  EXPECT_TRUE(std::get<RemediationEvent::Output>(failed[0].value).text.starts_with("Couldn't update ~/.zprofile: "));
  EXPECT_EQ(failed[1], completed(1));
  EXPECT_EQ(read("/Users/alice/.zprofile"), "# mine\n");
}

TEST_F(PythonPathJobs, UvGoesOnWithTheInstallWhenBrewUpdateHangs) {
  brewPath = brew;
  std::vector<double> waited;
  sleep = [&waited](double seconds, const KeepAliveStopSignal&) {
    waited.push_back(seconds);
    return true;  // the limit passed
  };
  process->answer(brew, {"update"}, ScriptedReply::hangs());
  process->answer(brew, {"install", "uv"}, ScriptedReply::streams({"==> Pouring uv--0.5.11.arm64_sequoia.bottle"}));
  process->answerShell("uv python install --default", ScriptedReply::streams({"Installed Python 3.13.1"}));

  EXPECT_EQ(run(SetupRemediation::installUv(true)),
            (Events{line(RunnerText::updatingHomebrew), line(RunnerText::homebrewUpdateFailed),
                    line("==> Pouring uv--0.5.11.arm64_sequoia.bottle"), line("Configured uv on PATH (~/.zprofile)."),
                    line(RunnerText::installingPython), line("Installed Python 3.13.1"), completed(0)}));
  EXPECT_EQ(waited, std::vector<double>{180});
  EXPECT_TRUE(process->calls().front().terminated);
  EXPECT_NE(read("/Users/alice/.zprofile").find("export PATH=\"$HOME/.local/bin:$PATH\""), std::string::npos);
  everyChildRanInANewSession();

  // Without Homebrew nothing runs; a failed formula install ends the job with its code.
  brewPath.reset();
  EXPECT_EQ(run(SetupRemediation::installUv(true)), (Events{line(RunnerText::homebrewMissing), completed(-1)}));
  brewPath = brew;
  process->answer(brew, {"install", "uv"}, ScriptedReply::streams({"Error: No such keg"}, 1));
  const Events failed = run(SetupRemediation::installUv(false));
  EXPECT_EQ(failed.back(), completed(1));
  EXPECT_EQ(process->shellCount("uv python install --default"), 1u);
}

TEST_F(PythonPathJobs, ExampleProjectsGoWhereAskedAndSayWhenTheTemplateIsMissing) {
  write("/resources/example-projects/Python-Example-Project/main.py", "print('hi')\n");
  write("/resources/example-projects/Python-Example-Project/dot.gitignore", ".venv\n");

  const Events made = run(SetupRemediation::createProject(ProjectTemplate::python, "/Users/alice/code"));
  EXPECT_EQ(made.back(), completed(0));
  EXPECT_EQ(read("/Users/alice/code/Python-Example-Project/main.py"), "print('hi')\n");
  EXPECT_EQ(read("/Users/alice/code/Python-Example-Project/.gitignore"), ".venv\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "Users/alice/Documents/Python-Example-Project"));

  EXPECT_EQ(run(SetupRemediation::createProject(ProjectTemplate::python, std::nullopt)).back(), completed(0));
  EXPECT_TRUE(std::filesystem::exists(dir / "Users/alice/Documents/Python-Example-Project/main.py"));

  EXPECT_EQ(run(SetupRemediation::createProject(ProjectTemplate::coding, std::nullopt)),
            (Events{line(RunnerText::templateMissing("AI-Coding-Project")), completed(1)}));
}

}  // namespace
}  // namespace bnch
