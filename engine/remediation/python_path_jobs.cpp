// The jobs on the Python path: Apple's Command Line Tools, Homebrew, the two PATH
// repairs, uv with Python, the shell set-up, the agent notes and the example projects.
#include <exception>
#include <filesystem>
#include <thread>
#include <utility>
#include <variant>

#include "engine/platform/process_environment.h"
#include "engine/platform/shell_quote.h"
#include "engine/remediation/agent_env_doc.h"
#include "engine/remediation/command_line_tools_label.h"
#include "engine/remediation/file_append_writer.h"
#include "engine/remediation/homebrew_installer.h"
#include "engine/remediation/remediation_jobs.h"
#include "engine/remediation/resource_locator.h"
#include "engine/remediation/runner_text.h"
#include "engine/remediation/shell_configurator.h"
#include "engine/remediation/template_tree_copier.h"
#include "engine/remediation/tool_install_commands.h"

namespace bnch::jobs {

namespace {

constexpr const char* kCommandLineToolsFolder = "/Library/Developer/CommandLineTools";
constexpr const char* kCommandLineToolsClang = "/Library/Developer/CommandLineTools/usr/bin/clang";

// Runs a side step to completion; its result and any failure to start are ignored.
void runIgnoringResult(const RemediationJob& job, std::string executable, std::vector<std::string> arguments) {
  try {
    job.services().process->run({.executable = std::move(executable), .arguments = std::move(arguments)});
  } catch (const std::exception&) {
  }
}

void removeCommandLineToolsMarker(const RemediationJob& job) {
  runIgnoringResult(job, "/bin/rm", {"-f", std::string(kCommandLineToolsMarker)});
}

std::string softwareUpdateListing(const RemediationJob& job) {
  const ProcessResult result = job.services().process->run({.executable = "/usr/sbin/softwareupdate",
                                                            .arguments = {"-l"},
                                                            .environment = job.services().applicationEnvironment});
  return result.stdOut + "\n" + result.stdErr;
}

// Appends one PATH line to ~/.zprofile; the messages depend on the case.
struct ZprofileLine {
  std::string line;
  std::string label;
  std::string key;
  FileAppendWriter::KeyDetection detection;
};

void appendToZprofile(const RemediationJob& job, const ZprofileLine& entry, const std::string& alreadyPresent,
                      const std::function<std::string(const std::filesystem::path& backup)>& added) {
  FileSystemOperating& fs = job.fs();
  FileAppendWriter writer(fs.homeDirectory() / ".zprofile", fs, job.services().product);
  try {
    const auto preview = writer.append(entry.line, entry.label, entry.key, entry.detection);
    job.output(preview.alreadySet ? alreadyPresent : added(preview.backupPath));
    job.complete(0);
  } catch (const std::exception& error) {  // FileAppendWriter::WriteError, or the file system's own
    job.output(std::string(RunnerText::couldNotUpdateZprofilePrefix) + error.what());
    job.complete(1);
  }
}

// `brew update`, stopped by a watchdog after the time limit. False when it failed,
// did not start or was stopped.
bool updateHomebrewIndex(const RemediationJob& job) {
  const RemediationServices& services = job.services();
  auto cancellation = std::make_shared<LiveProcessCancellation>();
  job.cancellable()->setCurrent(cancellation);
  auto stream = services.process->stream(
      {.executable = *services.brewPath, .arguments = {"update"}, .environment = services.applicationEnvironment},
      cancellation);
  KeepAliveStopSignal stop;
  std::thread watchdog([&services, &stop, cancellation] {
    bool expired = false;
    try {
      expired = services.sleep(services.brewUpdateTimeLimitSeconds, stop);
    } catch (const std::exception&) {
    }
    if (expired) cancellation->cancel();
  });
  const RemediationJob::ProcessOutcome outcome = job.forwardProcess(std::move(stream));
  stop.stop();
  watchdog.join();
  return !outcome.failedToStart && outcome.exitCode == 0 && !cancellation->isCanceled();
}

}  // namespace

void installCommandLineTools(const RemediationJob& job) {
  FileSystemOperating& fs = job.fs();
  if (fs.fileExists(kCommandLineToolsClang) || fs.directoryExists(kCommandLineToolsFolder)) {
    job.complete(0);
    return;
  }
  job.output(std::string(CommandLineToolsText::checking));
  runIgnoringResult(job, "/usr/bin/touch", {std::string(kCommandLineToolsMarker)});

  const CommandLineToolsLookup lookup = lookUpCommandLineToolsLabel([&] { return softwareUpdateListing(job); });
  if (job.isCanceled()) {  // canceled while Apple was asked: no password dialog
    removeCommandLineToolsMarker(job);
    job.canceled();
    return;
  }
  if (!lookup.label) {
    job.output(std::string(CommandLineToolsText::notOffered));
    job.output(std::string(CommandLineToolsText::listingHeading));
    job.output(softwareUpdateListingSummary(lookup.listing));
    removeCommandLineToolsMarker(job);
    job.complete(1);
    return;
  }
  job.output(std::string(CommandLineToolsText::foundPrefix) + *lookup.label);

  std::optional<PrivilegeContext> context;
  try {
    context.emplace(job.privilegedExecutor().prepare(std::string(CommandLineToolsText::passwordPrompt)));
  } catch (const std::exception& error) {
    removeCommandLineToolsMarker(job);
    job.output(std::string(CommandLineToolsText::couldNotStartPrefix) + error.what());
    job.complete(-1);
    return;
  }
  Environment environment = overlaidEnvironment(job.services().applicationEnvironment, context->environment());
  job.output(std::string(CommandLineToolsText::installing));

  auto cancellation = std::make_shared<LiveProcessCancellation>();
  job.cancellable()->setCurrent(cancellation);
  auto stream = job.services().process->stream(
      {.executable = "/usr/bin/sudo",
       .arguments = {"-A", "/bin/bash", "-c", commandLineToolsInstallScript(*lookup.label)},
       .environment = std::move(environment)},
      cancellation);
  const RemediationJob::ProcessOutcome outcome = job.forwardProcess(std::move(stream));
  // The script removes the marker itself when it gets that far; a refused password,
  // a failed start or a cancel stop it before, and the marker is ours to remove.
  removeCommandLineToolsMarker(job);
  context->cleanup();
  if (job.isCanceled()) {
    job.canceled();
    return;
  }
  if (outcome.failedToStart) {
    job.output(std::string(CommandLineToolsText::couldNotStartPrefix) + *outcome.failedToStart);
    job.complete(-1);
    return;
  }
  job.output(std::string(outcome.exitCode == 0 ? CommandLineToolsText::installed : CommandLineToolsText::notCompleted));
  job.complete(outcome.exitCode);
}

void installHomebrew(const RemediationJob& job) {
  const RemediationServices& services = job.services();
  const HomebrewInstaller installer(services.process, services.fs, job.privilegedExecutor(),
                                    services.applicationEnvironment, services.product);
  job.forward(installer.install(job.cancellable()));
}

void repairHomebrewPath(const RemediationJob& job) {
  FileSystemOperating& fs = job.fs();
  std::string brew;
  for (const char* candidate : {"/opt/homebrew/bin/brew", "/usr/local/bin/brew"}) {
    if (fs.fileExists(candidate)) {
      brew = candidate;
      break;
    }
  }
  if (brew.empty()) {
    job.output(std::string(RunnerText::homebrewNotInstalled));
    job.complete(1);
    return;
  }
  appendToZprofile(job,
                   {homebrewShellenvLine(brew), "Homebrew shellenv", "brew shellenv",
                    FileAppendWriter::KeyDetection::ignoringCommentLines},
                   std::string(RunnerText::shellenvAlreadyActive), &RunnerText::shellenvAdded);
}

void repairPath(const RemediationJob& job, const std::string& directory) {
  appendToZprofile(job,
                   {pathExportLine(directory), "Claude Code PATH", shellDoubleQuoteEscape(directory),
                    FileAppendWriter::KeyDetection::anywhere},
                   RunnerText::directoryAlreadyOnPath(directory), [&directory](const std::filesystem::path& backup) {
                     return RunnerText::directoryAdded(directory, backup);
                   });
}

void installUv(const RemediationJob& job, bool refreshIndex) {
  if (refreshIndex && job.services().brewPath) {
    job.output(std::string(RunnerText::updatingHomebrew));
    if (!updateHomebrewIndex(job)) {
      if (job.isCanceled()) {
        job.canceled();
        return;
      }
      job.output(std::string(RunnerText::homebrewUpdateFailed));
    }
  }
  const std::optional<int32_t> installed = job.installFormula("uv");
  if (!installed) {
    job.canceled();
    return;
  }
  if (*installed != 0) {
    job.complete(*installed);
    return;
  }
  for (std::string& line : ShellConfigurator(job.fs(), job.services().product).configureUvPath()) {
    job.output(std::move(line));
  }
  job.output(std::string(RunnerText::installingPython));
  const int32_t code = job.runLoginShell(std::string(RunnerText::uvPythonInstallCommand));
  if (job.isCanceled()) {
    job.canceled();
    return;
  }
  job.complete(code);
}

void configureShell(const RemediationJob& job) {
  job.finishWith(ShellConfigurator(job.fs(), job.services().product).configure());
}

void documentEnvironment(const RemediationJob& job) {
  job.finishWith(AgentEnvDoc(job.fs(), job.services().product).write());
}

void createProject(const RemediationJob& job, ProjectTemplate projectTemplate,
                   const std::optional<std::string>& destinationPath) {
  FileSystemOperating& fs = job.fs();
  const std::string_view folder = folderName(projectTemplate);
  const std::optional<std::filesystem::path> source =
      ResourceLocator(fs, job.services().resources).exampleProject(projectTemplate);
  if (!source) {
    job.output(RunnerText::templateMissing(folder));
    job.complete(1);
    return;
  }
  const std::filesystem::path parent =
      destinationPath ? std::filesystem::path(*destinationPath) : fs.homeDirectory() / "Documents";
  job.finishWith(TemplateTreeCopier(fs).copy(*source, parent / folder));
}

}  // namespace bnch::jobs
