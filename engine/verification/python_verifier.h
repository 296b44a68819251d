#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/contracts/uv_contract.h"
#include "engine/verification/setup_verifier.h"

namespace bnch {

// Proves the Python tool chain in fresh login shells, in four checks that build on
// each other: uv resolves on the login PATH, a uv-managed Python runs, a project
// can be created in a throw-away probe folder, and a pinned package installs and
// imports there.
//
// Holds no state; verify() may be called from any thread, and concurrent calls
// are safe as long as they use different caches folders (they share the probe
// folder otherwise). Commands run one after another; nothing times out here (a
// slow `uv add` is waited for). Never throws: every failure is a step verdict.
//
// The probe folder is <caches>/<cacheDirName>/verify-probe, where <caches> is
// fs.cachesDirectory() or, when that fails, ~/Library/Caches. A folder left by an
// earlier run is removed before the new one is made; the folder is removed again
// on every path once it has been created.
class PythonVerifier final : public SetupVerifier {
 public:
  enum class StepID { uvResolves, pythonRuns, projectCreated, packageInstalls };
  // "uv_resolves", "python_runs", "project_created", "package_installs".
  static std::string_view toString(StepID id);

  // cannotDetermine: the network failed, so the check says nothing about the setup.
  enum class Verdict { passed, failed, cannotDetermine };

  struct Step {
    StepID id = StepID::uvResolves;
    Verdict verdict = Verdict::failed;
    std::string line;    // the label shown to the user
    std::string output;  // trimmed output of the command behind the verdict; empty when none ran

    bool operator==(const Step&) const = default;
  };

  // What the first two probes found.
  struct BaseTier {
    std::optional<std::string> uvVersionOutput;  // trimmed `uv --version`; absent when uv did not answer
    std::optional<std::string> pythonVersion;    // e.g. "3.13.1", only for a uv-managed interpreter
    std::optional<std::string> executablePath;   // the interpreter uv ran
    std::string pythonOutput;                    // trimmed output of the Python probe; empty when it did not run
    bool timedOut = false;                       // the last command run was stopped at its time limit

    bool operator==(const BaseTier&) const = default;
  };

  // One whole check: always four steps in StepID order, and what became of the probe folder.
  struct Run {
    std::vector<Step> steps;
    BaseTier baseTier;
    bool probeRemoved = false;
    std::optional<std::string> probeRemovalError;  // present only when removal threw

    bool operator==(const Run&) const = default;
  };

  // The package pinned for the install check, and the module it provides.
  static constexpr std::string_view pinnedPackage = UvContract::pinnedPackage;
  static constexpr std::string_view pinnedModule = "cowsay";

  // `cacheDirName` is the product's folder under the caches folder.
  explicit PythonVerifier(std::string cacheDirName);

  // `profile` is not read.
  SetupVerificationResult verify(const std::optional<SystemProfile>& profile, const ShellRunner& shell,
                                 FileSystemOperating& fs) const override;

  // The four checks without the result assembly.
  Run run(const ShellRunner& shell, FileSystemOperating& fs) const;

  // The uv and uv-managed Python probes (also used by the outcome audit).
  static BaseTier probeBaseTier(const ShellRunner& shell);

  // The verification result of a run.
  static SetupVerificationResult assemble(const Run& run);

  // Where the probe project is made. Never throws.
  std::filesystem::path probeFolder(FileSystemOperating& fs) const;

  // Whether a failed `uv add` failed because of the network (lower-cased
  // substring test against a fixed list of phrases).
  static bool isNetworkFailure(std::string_view output);

 private:
  std::string cacheDirName_;
};

}  // namespace bnch
