#include "engine/verification/python_verifier.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

#include "engine/verification/command_text.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/scripted_process_runner.h"
#include "tests/support/temp_dir.h"

namespace bnch {
namespace {

using testing::FaultInjectingFileSystem;
using testing::RootedFileSystem;
using testing::ScriptedProcessRunner;
using testing::ScriptedReply;
using testing::TempDir;
using Verdict = PythonVerifier::Verdict;
using StepID = PythonVerifier::StepID;

const std::string kUvVersion = "uv --version 2>&1";
const std::string kPythonProbe =
    "uv run --no-project --managed-python --no-python-downloads python -c "
    "'import sys; print(sys.version.split()[0]); print(sys.executable)' 2>&1";
const std::string kProbe = "/Users/alice/Library/Caches/BenchkitPython/verify-probe";
const std::string kCd = "cd '" + kProbe + "' && ";
const std::string kInit = kCd + "uv init --no-workspace --vcs none 2>&1";
const std::string kAdd = kCd + "uv add cowsay==6.1 2>&1";
const std::string kImport = kCd + "uv run python -c 'import cowsay' 2>&1";
const std::string kManagedPython =
    "/Users/alice/.local/share/uv/python/cpython-3.13.1-macos-aarch64-none/bin/python3.13";

// A Mac where uv, a uv-managed Python and PyPI all work.
class PythonVerifierTest : public ::testing::Test {
 protected:
  PythonVerifierTest() : fs(std::make_shared<RootedFileSystem>(dir.path())), shell(runner) {
    runner->answerShell(kUvVersion, ScriptedReply::prints("uv 0.5.11 (Homebrew 2024-12-19)\n"));
    runner->answerShell(kPythonProbe, ScriptedReply::prints("3.13.1\n" + kManagedPython + "\n"));
    runner->answerShell(kInit, ScriptedReply::prints("Initialized project `verify-probe`\n"));
    runner->answerShell(kAdd, ScriptedReply::prints("Resolved 2 packages in 310ms\n + cowsay==6.1\n"));
    runner->answerShell(kImport, ScriptedReply::prints(""));
  }

  PythonVerifier::Run run() { return verifier.run(shell, *fs); }
  SetupVerificationResult verify() { return verifier.verify(std::nullopt, shell, *fs); }

  static std::vector<Verdict> verdicts(const PythonVerifier::Run& run) {
    std::vector<Verdict> all;
    for (const auto& step : run.steps) all.push_back(step.verdict);
    return all;
  }

  TempDir dir;
  std::shared_ptr<RootedFileSystem> fs;
  std::shared_ptr<ScriptedProcessRunner> runner = std::make_shared<ScriptedProcessRunner>();
  ShellRunner shell;
  PythonVerifier verifier{"BenchkitPython"};
};

TEST_F(PythonVerifierTest, AWorkingSetupPassesEveryCheckAndCleansUp) {
  const SetupVerificationResult result = verify();

  EXPECT_TRUE(result.passed);
  EXPECT_EQ(result.exitCode, std::nullopt);
  EXPECT_EQ(result.engineOutcome, "likely_resolved");
  EXPECT_EQ(result.verifiedItems, (std::vector<std::string>{
                                      "uv is available in a new terminal window (uv 0.5.11 (Homebrew 2024-12-19))",
                                      "Python 3.13.1 is installed and managed by uv",
                                      "A project can be created",
                                      "A package installs and imports",
                                  }));
  EXPECT_TRUE(result.failedChecks.empty());
  EXPECT_EQ(result.details,
            (std::map<std::string, std::string>{{"python_version", "3.13.1"}, {"probe_removed", "true"}}));
  // The package check is backed by the import, which prints nothing.
  EXPECT_EQ(result.rawOutput,
            "uv 0.5.11 (Homebrew 2024-12-19)\n3.13.1\n" + kManagedPython + "\nInitialized project `verify-probe`");
  EXPECT_EQ(runner->shellCommands(), (std::vector<std::string>{kUvVersion, kPythonProbe, kInit, kAdd, kImport}));
  EXPECT_FALSE(fs->fileExists(kProbe));
  EXPECT_TRUE(runner->unanswered().empty());
}

TEST_F(PythonVerifierTest, MissingUvFailsEveryCheckWithoutTouchingTheDisk) {
  runner->answerShell(kUvVersion, ScriptedReply::prints("zsh:1: command not found: uv\n", 127));
  const PythonVerifier::Run missing = run();
  EXPECT_EQ(missing.steps, (std::vector<PythonVerifier::Step>{
                               {StepID::uvResolves, Verdict::failed, "uv is available in a new terminal window", ""},
                               {StepID::pythonRuns, Verdict::failed, "Python is installed and managed by uv", ""},
                               {StepID::projectCreated, Verdict::failed, "A project can be created", ""},
                               {StepID::packageInstalls, Verdict::failed, "A package installs and imports", ""},
                           }));
  const SetupVerificationResult result = PythonVerifier::assemble(missing);
  EXPECT_FALSE(result.passed);
  EXPECT_EQ(result.engineOutcome, "blocked");
  EXPECT_EQ(result.rawOutput, "");
  EXPECT_TRUE(result.verifiedItems.empty());
  EXPECT_EQ(result.failedChecks,
            (std::vector<std::string>{"uv_resolves", "python_runs", "project_created", "package_installs"}));
  EXPECT_EQ(result.details, (std::map<std::string, std::string>{{"probe_removed", "false"}}));
  EXPECT_EQ(runner->shellCommands(), (std::vector<std::string>{kUvVersion}));
  EXPECT_FALSE(fs->fileExists("/Users/alice/Library/Caches/BenchkitPython"));

  // A uv that exits 0 but says nothing is no uv either.
  runner->answerShell(kUvVersion, ScriptedReply::prints("  \n"));
  EXPECT_EQ(run().steps, missing.steps);
}

TEST_F(PythonVerifierTest, AShellThatCannotStartGivesFailedChecksNotACrash) {
  auto dead = std::make_shared<ScriptedProcessRunner>();
  dead->setFallback(ScriptedReply::failsToStart("Permission denied"));
  const SetupVerificationResult result = verifier.verify(std::nullopt, ShellRunner(dead), *fs);
  EXPECT_FALSE(result.passed);
  EXPECT_EQ(result.engineOutcome, "blocked");
  EXPECT_EQ(result.failedChecks.size(), 4u);
  EXPECT_EQ(result.details.at("probe_removed"), "false");
}

TEST_F(PythonVerifierTest, UvStepShowsTheFirstLineAndKeepsAllOutput) {
  runner->setShellPreamble("Welcome back, Alice!\n");
  runner->answerShell(kUvVersion, ScriptedReply::prints("\n\nuv 0.5.11\nwarning: something\n"));
  const PythonVerifier::Run result = run();
  EXPECT_EQ(result.steps[0].line, "uv is available in a new terminal window (uv 0.5.11)");
  EXPECT_EQ(result.steps[0].output, "uv 0.5.11\nwarning: something");
  EXPECT_EQ(result.baseTier.uvVersionOutput, "uv 0.5.11\nwarning: something");
  EXPECT_EQ(result.baseTier.executablePath, kManagedPython);
  EXPECT_EQ(verdicts(result), std::vector<Verdict>(4, Verdict::passed));
}

TEST_F(PythonVerifierTest, AForeignPythonFailsOnlyThePythonCheck) {
  runner->answerShell(kPythonProbe, ScriptedReply::prints("3.9.6\n/usr/bin/python3\n"));
  const PythonVerifier::Run result = run();
  EXPECT_EQ(verdicts(result),
            (std::vector<Verdict>{Verdict::passed, Verdict::failed, Verdict::passed, Verdict::passed}));
  EXPECT_EQ(result.steps[1].line, "Python is installed and managed by uv");
  EXPECT_EQ(result.steps[1].output, "3.9.6\n/usr/bin/python3");
  EXPECT_EQ(result.baseTier.executablePath, "/usr/bin/python3");
  EXPECT_EQ(result.baseTier.pythonVersion, std::nullopt);

  const SetupVerificationResult assembled = PythonVerifier::assemble(result);
  EXPECT_EQ(assembled.engineOutcome, "blocked");
  EXPECT_EQ(assembled.failedChecks, (std::vector<std::string>{"python_runs"}));
  EXPECT_FALSE(assembled.details.contains("python_version"));
}

TEST_F(PythonVerifierTest, AManagedPythonThatExitsNonZeroOrSaysTooLittleIsNotTrusted) {
  runner->answerShell(kPythonProbe, ScriptedReply::prints("3.13.1\n" + kManagedPython + "\n", 1));
  EXPECT_EQ(run().steps[1].verdict, Verdict::failed);

  runner->answerShell(kPythonProbe, ScriptedReply::prints("error: No interpreter found in managed installations\n", 2));
  const PythonVerifier::Run result = run();
  EXPECT_EQ(result.steps[1].verdict, Verdict::failed);
  EXPECT_EQ(result.baseTier.executablePath, std::nullopt);
  EXPECT_EQ(result.steps[1].output, "error: No interpreter found in managed installations");
}

TEST_F(PythonVerifierTest, ANetworkFailureLeavesThePackageCheckUndetermined) {
  runner->answerShell(
      kAdd,
      ScriptedReply::prints("error: Failed to fetch: `https://pypi.org/simple/cowsay/`\n  Caused by: DNS ERROR\n", 1));
  const SetupVerificationResult result = verify();
  EXPECT_TRUE(result.passed);
  EXPECT_EQ(result.engineOutcome, "likely_resolved");
  EXPECT_EQ(result.verifiedItems.size(), 3u);
  EXPECT_TRUE(result.failedChecks.empty());
  EXPECT_EQ(result.details.at("undetermined_checks"), "package_installs");
  EXPECT_EQ(result.details.at("probe_removed"), "true");
  EXPECT_TRUE(result.rawOutput.ends_with("Caused by: DNS ERROR"));
  EXPECT_EQ(runner->shellCount(kImport), 0u);
}

// A command stopped at its time limit (a start-up file that never returns)
// proves nothing: its check and those after it are undetermined, never passed.
TEST_F(PythonVerifierTest, CommandsThatHangAreUndeterminedAtTheirTimeLimit) {
  runner->answerShell(kImport, ScriptedReply::hangs());
  PythonVerifier::Run hungImport = run();
  EXPECT_EQ(verdicts(hungImport),
            (std::vector<Verdict>{Verdict::passed, Verdict::passed, Verdict::passed, Verdict::cannotDetermine}));
  EXPECT_TRUE(hungImport.probeRemoved);

  runner->answerShell(kUvVersion, ScriptedReply::hangs());
  EXPECT_EQ(verdicts(run()), std::vector<Verdict>(4, Verdict::cannotDetermine));
  for (const auto& call : runner->calls()) {
    EXPECT_EQ(call.request.timeLimit, verificationCommandTimeLimit) << call.request.arguments.back();
  }
}

TEST_F(PythonVerifierTest, AnOrdinaryPackageFailureBlocks) {
  runner->answerShell(kAdd, ScriptedReply::prints("error: No solution found when resolving dependencies\n", 1));
  const SetupVerificationResult result = verify();
  EXPECT_FALSE(result.passed);
  EXPECT_EQ(result.engineOutcome, "blocked");
  EXPECT_EQ(result.failedChecks, (std::vector<std::string>{"package_installs"}));
  EXPECT_FALSE(result.details.contains("undetermined_checks"));

  // An import that fails after a clean install fails too.
  runner->answerShell(kAdd, ScriptedReply::prints("+ cowsay==6.1\n"));
  runner->answerShell(kImport, ScriptedReply::prints("ModuleNotFoundError: No module named 'cowsay'\n", 1));
  EXPECT_EQ(verify().failedChecks, (std::vector<std::string>{"package_installs"}));
}

TEST_F(PythonVerifierTest, AFailedInitSkipsThePackageButStillRemovesTheProbe) {
  runner->answerShell(kInit, ScriptedReply::prints("error: Failed to create project\n", 2));
  const PythonVerifier::Run result = run();
  EXPECT_EQ(verdicts(result),
            (std::vector<Verdict>{Verdict::passed, Verdict::passed, Verdict::failed, Verdict::failed}));
  EXPECT_EQ(result.steps[2].output, "error: Failed to create project");
  EXPECT_EQ(result.steps[3].output, "");
  EXPECT_TRUE(result.probeRemoved);
  EXPECT_EQ(runner->shellCount(kAdd), 0u);
  EXPECT_FALSE(fs->fileExists(kProbe));

  // A shell that cannot start for `uv init`: the launch error is the step's output.
  runner->answerShell(kInit, ScriptedReply::failsToStart("Resource temporarily unavailable"));
  const PythonVerifier::Run unstarted = run();
  EXPECT_EQ(unstarted.steps[2].verdict, Verdict::failed);
  EXPECT_EQ(unstarted.steps[2].output, "Resource temporarily unavailable");
  EXPECT_TRUE(unstarted.probeRemoved);
}

TEST_F(PythonVerifierTest, AProbeLeftByAnEarlierRunIsClearedBeforeInit) {
  fs->writeFile(kProbe + "/pyproject.toml", "[project]\nname = \"verify-probe\"\n");
  std::vector<std::string> seenAtInit{"not run"};
  runner->answerShell(kInit, ScriptedReply::prints("Initialized project\n").then([&](const ProcessRequest&) {
    seenAtInit = fs->contentsOfDirectory(kProbe);
  }));
  EXPECT_TRUE(verify().passed);
  EXPECT_TRUE(seenAtInit.empty()) << seenAtInit.front();
  EXPECT_FALSE(fs->fileExists(kProbe));
}

TEST_F(PythonVerifierTest, AQuoteInTheProbePathStaysOneShellWord) {
  PythonVerifier quoted{"Bench'kit"};
  const std::string cd = "cd '/Users/alice/Library/Caches/Bench'\\''kit/verify-probe' && ";
  runner->answerShell(cd + "uv init --no-workspace --vcs none 2>&1", ScriptedReply::prints("ok\n"));
  runner->answerShell(cd + "uv add cowsay==6.1 2>&1", ScriptedReply::prints("ok\n"));
  runner->answerShell(cd + "uv run python -c 'import cowsay' 2>&1", ScriptedReply::prints(""));
  EXPECT_TRUE(quoted.verify(std::nullopt, shell, *fs).passed);
  EXPECT_TRUE(runner->unanswered().empty());
}

class PythonVerifierFaultTest : public PythonVerifierTest {
 protected:
  PythonVerifierFaultTest() : faulty(std::make_shared<FaultInjectingFileSystem>(fs)) {}
  std::shared_ptr<FaultInjectingFileSystem> faulty;
};

TEST_F(PythonVerifierFaultTest, ACachesFolderThatCannotBeCreatedFailsTheProjectCheck) {
  faulty->failFromOperation(1, EACCES);  // no caches folder, no probe folder
  const PythonVerifier::Run result = verifier.run(shell, *faulty);
  EXPECT_EQ(verdicts(result),
            (std::vector<Verdict>{Verdict::passed, Verdict::passed, Verdict::failed, Verdict::failed}));
  EXPECT_NE(result.steps[2].output.find("verify-probe"), std::string::npos) << result.steps[2].output;
  EXPECT_EQ(result.steps[3].output, "");
  EXPECT_FALSE(result.probeRemoved);
  EXPECT_EQ(result.probeRemovalError, std::nullopt);
  EXPECT_EQ(runner->shellCount(kInit), 0u);
}

TEST_F(PythonVerifierFaultTest, AProbeThatCannotBeRemovedIsReportedAndChangesNothingElse) {
  const SetupVerificationResult clean = verifier.verify(std::nullopt, shell, *faulty);
  const int operations = faulty->operationCount();
  faulty->failOperation(operations, EBUSY);  // the last operation: removing the probe
  SetupVerificationResult stuck = verifier.verify(std::nullopt, shell, *faulty);
  ASSERT_TRUE(faulty->faultFired());

  EXPECT_EQ(stuck.details.at("probe_removed"), "false");
  ASSERT_TRUE(stuck.details.contains("probe_removal_error"));
  EXPECT_FALSE(stuck.details.at("probe_removal_error").empty());
  stuck.details.erase("probe_removal_error");
  stuck.details["probe_removed"] = "true";
  EXPECT_EQ(stuck, clean);
}

TEST(PythonVerifierNetworkPhrases, MatchInAnyLetterCase) {
  EXPECT_TRUE(PythonVerifier::isNetworkFailure("error: Could Not Resolve Host: pypi.org"));
  EXPECT_TRUE(PythonVerifier::isNetworkFailure("Connection reset by peer (os error 54)"));
  EXPECT_TRUE(PythonVerifier::isNetworkFailure("invalid peer certificate: UnknownIssuer"));
  EXPECT_TRUE(PythonVerifier::isNetworkFailure("request TIMED OUT"));
  EXPECT_FALSE(PythonVerifier::isNetworkFailure("error: No solution found when resolving dependencies"));
  EXPECT_FALSE(PythonVerifier::isNetworkFailure(""));
}

TEST(PythonVerifierAssembly, UndeterminedWithoutPythonIsUnknownNotResolved) {
  PythonVerifier::Run run;
  run.steps = {
      {StepID::uvResolves, Verdict::passed, "uv line", "uv 0.5"},
      {StepID::pythonRuns, Verdict::cannotDetermine, "python line", ""},
      {StepID::projectCreated, Verdict::passed, "project line", ""},
      {StepID::packageInstalls, Verdict::cannotDetermine, "package line", "offline"},
  };
  run.probeRemoved = true;
  const SetupVerificationResult result = PythonVerifier::assemble(run);
  EXPECT_TRUE(result.passed);
  EXPECT_EQ(result.engineOutcome, "unknown");
  EXPECT_EQ(result.details.at("undetermined_checks"), "python_runs,package_installs");
  EXPECT_EQ(result.rawOutput, "uv 0.5\noffline");
  EXPECT_EQ(result.verifiedItems, (std::vector<std::string>{"uv line", "project line"}));
}

}  // namespace
}  // namespace bnch
