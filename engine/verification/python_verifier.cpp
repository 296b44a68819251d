#include "engine/verification/python_verifier.h"
#include "engine/platform/text.h"

#include <algorithm>
#include <array>
#include <exception>

#include "engine/platform/shell_quote.h"
#include "engine/verification/command_text.h"

namespace bnch {

namespace {

using StepID = PythonVerifier::StepID;
using Verdict = PythonVerifier::Verdict;
using Step = PythonVerifier::Step;

constexpr std::string_view kUvLine = "uv is available in a new terminal window";
constexpr std::string_view kPythonLine = "Python is installed and managed by uv";
constexpr std::string_view kProjectLine = "A project can be created";
constexpr std::string_view kPackageLine = "A package installs and imports";

const std::string kPythonProbeCommand = std::string(UvContract::managedPythonRunCommand) +
                                        " 'import sys; print(sys.version.split()[0]); print(sys.executable)' 2>&1";

constexpr std::array<std::string_view, 13> kNetworkPhrases{
    "failed to fetch",
    "network",
    "temporary failure in name resolution",
    "could not resolve host",
    "connection refused",
    "connection reset",
    "operation timed out",
    "timed out",
    "offline",
    "dns error",
    "no route to host",
    "certificate",
    "tls",
};

Step step(StepID id, Verdict verdict, std::string_view line, std::string output = {}) {
  return Step{id, verdict, std::string(line), std::move(output)};
}

// A command stopped at its time limit proves nothing either way.
Verdict verdictOf(const ShellOutput& command) {
  if (command.timedOut) return Verdict::cannotDetermine;
  return command.exitCode == 0 ? Verdict::passed : Verdict::failed;
}

std::string errorDescription(const std::exception& error) {
  if (const auto* fsError = dynamic_cast<const FileSystemError*>(&error)) return fsError->description();
  return error.what();
}

bool exists(FileSystemOperating& fs, const std::filesystem::path& path) {
  return fs.fileExists(path) || fs.directoryExists(path);
}

}  // namespace

std::string_view PythonVerifier::toString(StepID id) {
  switch (id) {
    case StepID::uvResolves:
      return "uv_resolves";
    case StepID::pythonRuns:
      return "python_runs";
    case StepID::projectCreated:
      return "project_created";
    case StepID::packageInstalls:
      return "package_installs";
  }
  return "uv_resolves";
}

PythonVerifier::PythonVerifier(std::string cacheDirName) : cacheDirName_(std::move(cacheDirName)) {}

bool PythonVerifier::isNetworkFailure(std::string_view output) {
  const std::string lower = lowercasedASCII(output);
  return std::any_of(kNetworkPhrases.begin(), kNetworkPhrases.end(),
                     [&](std::string_view phrase) { return lower.find(phrase) != std::string::npos; });
}

std::filesystem::path PythonVerifier::probeFolder(FileSystemOperating& fs) const {
  std::filesystem::path caches;
  try {
    caches = fs.cachesDirectory();
  } catch (const std::exception&) {
    caches = fs.homeDirectory() / "Library" / "Caches";
  }
  if (!cacheDirName_.empty()) caches /= cacheDirName_;
  return caches / "verify-probe";
}

PythonVerifier::BaseTier PythonVerifier::probeBaseTier(const ShellRunner& shell) {
  BaseTier tier;
  // What a new Terminal window finds; the project steps below change the disk
  // and run in the plain login shell.
  const ShellOutput uv = runTrimmed(shell, std::string(UvContract::versionCommand), ShellForm::newTerminal);
  tier.timedOut = uv.timedOut;
  if (uv.exitCode != 0 || uv.output.empty()) return tier;

  const ShellOutput python = runTrimmed(shell, std::string(kPythonProbeCommand), ShellForm::newTerminal);
  tier.timedOut = python.timedOut;
  const std::vector<std::string> lines = nonEmptyLines(python.output);
  if (lines.size() >= 2) {
    tier.executablePath = lines[1];
    if (python.exitCode == 0 && lines[1].find(UvContract::managedPathFragment) != std::string::npos) {
      tier.pythonVersion = lines[0];
    }
  }
  tier.uvVersionOutput = uv.output;
  tier.pythonOutput = python.output;
  return tier;
}

PythonVerifier::Run PythonVerifier::run(const ShellRunner& shell, FileSystemOperating& fs) const {
  Run result;
  result.baseTier = probeBaseTier(shell);
  const BaseTier& tier = result.baseTier;
  auto& steps = result.steps;

  if (!tier.uvVersionOutput) {
    const Verdict verdict = tier.timedOut ? Verdict::cannotDetermine : Verdict::failed;
    steps.push_back(step(StepID::uvResolves, verdict, kUvLine));
    steps.push_back(step(StepID::pythonRuns, verdict, kPythonLine));
    steps.push_back(step(StepID::projectCreated, verdict, kProjectLine));
    steps.push_back(step(StepID::packageInstalls, verdict, kPackageLine));
    return result;
  }

  const std::vector<std::string> uvLines = nonEmptyLines(*tier.uvVersionOutput);
  const std::string uvFirstLine = uvLines.empty() ? *tier.uvVersionOutput : uvLines.front();
  steps.push_back(step(StepID::uvResolves, Verdict::passed, std::string(kUvLine) + " (" + uvFirstLine + ")",
                       *tier.uvVersionOutput));

  if (tier.pythonVersion) {
    steps.push_back(step(StepID::pythonRuns, Verdict::passed,
                         "Python " + *tier.pythonVersion + " is installed and managed by uv", tier.pythonOutput));
  } else {
    steps.push_back(step(StepID::pythonRuns, tier.timedOut ? Verdict::cannotDetermine : Verdict::failed, kPythonLine,
                         tier.pythonOutput));
  }

  // A fresh probe folder: whatever an earlier run left behind (it is ours) goes
  // first, so that `uv init` never meets an existing project.
  const std::filesystem::path probe = probeFolder(fs);
  try {
    if (exists(fs, probe)) fs.removeItem(probe);
    fs.createDirectory(probe, true);
  } catch (const std::exception& error) {
    steps.push_back(step(StepID::projectCreated, Verdict::failed, kProjectLine, errorDescription(error)));
    steps.push_back(step(StepID::packageInstalls, Verdict::failed, kPackageLine));
    return result;
  }

  const std::string cdProbe = "cd " + shellSingleQuote(probe.string()) + " && ";
  const ShellOutput init =
      runTrimmed(shell, cdProbe + std::string(UvContract::initProjectCommand) + " 2>&1", ShellForm::login);
  steps.push_back(step(StepID::projectCreated, verdictOf(init), kProjectLine, init.output));
  if (init.exitCode != 0) {
    steps.push_back(step(StepID::packageInstalls, verdictOf(init), kPackageLine));
  } else {
    const ShellOutput add =
        runTrimmed(shell, cdProbe + std::string(UvContract::addPinnedPackageCommand) + " 2>&1", ShellForm::login);
    if (add.exitCode != 0) {
      const Verdict verdict = isNetworkFailure(add.output) ? Verdict::cannotDetermine : verdictOf(add);
      steps.push_back(step(StepID::packageInstalls, verdict, kPackageLine, add.output));
    } else {
      const ShellOutput import = runTrimmed(
          shell,
          cdProbe + std::string(UvContract::projectRunCommand) + " 'import " + std::string(pinnedModule) + "' 2>&1",
          ShellForm::login);
      steps.push_back(step(StepID::packageInstalls, verdictOf(import), kPackageLine, import.output));
    }
  }

  try {
    fs.removeItem(probe);
    result.probeRemoved = true;
  } catch (const std::exception& error) {
    result.probeRemovalError = errorDescription(error);
  }
  return result;
}

SetupVerificationResult PythonVerifier::assemble(const Run& run) {
  SetupVerificationResult result;
  std::vector<std::string> undetermined;
  bool anyFailed = false;
  bool pythonPassed = false;
  for (const Step& s : run.steps) {
    if (!s.output.empty()) {
      if (!result.rawOutput.empty()) result.rawOutput += '\n';
      result.rawOutput += s.output;
    }
    switch (s.verdict) {
      case Verdict::passed:
        result.verifiedItems.push_back(s.line);
        if (s.id == StepID::pythonRuns) pythonPassed = true;
        break;
      case Verdict::failed:
        anyFailed = true;
        result.failedChecks.emplace_back(toString(s.id));
        break;
      case Verdict::cannotDetermine:
        undetermined.emplace_back(toString(s.id));
        break;
    }
  }
  result.passed = !anyFailed;
  result.exitCode = std::nullopt;
  result.engineOutcome = anyFailed ? "blocked" : pythonPassed ? "likely_resolved" : "unknown";

  if (run.baseTier.pythonVersion) result.details["python_version"] = *run.baseTier.pythonVersion;
  result.details["probe_removed"] = run.probeRemoved ? "true" : "false";
  if (run.probeRemovalError) result.details["probe_removal_error"] = *run.probeRemovalError;
  if (!undetermined.empty()) {
    std::string joined;
    for (const std::string& id : undetermined) {
      if (!joined.empty()) joined += ',';
      joined += id;
    }
    result.details["undetermined_checks"] = joined;
  }
  return result;
}

SetupVerificationResult PythonVerifier::verify(const std::optional<SystemProfile>& /*profile*/,
                                               const ShellRunner& shell, FileSystemOperating& fs) const {
  return assemble(run(shell, fs));
}

}  // namespace bnch
