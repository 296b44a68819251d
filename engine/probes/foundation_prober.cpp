#include "engine/probes/foundation_prober.h"

#include <future>

#include "engine/contracts/homebrew_contract.h"
#include "engine/probes/probe_files.h"
#include "engine/probes/probe_text.h"
#include "engine/probes/shell_setup.h"

namespace bnch {
namespace {

bool commandInstalled(const FileSystemOperating& fs, const std::string& name) {
  for (std::string_view folder : HomebrewContract::binFolders) {
    if (ProbeFiles::exists(fs, std::string(folder) + "/" + name)) return true;
  }
  return false;
}

bool lacksNote(const FileSystemOperating& fs, const std::filesystem::path& file) {
  return ProbeFiles::readText(fs, file).value_or("").find(FoundationProber::agentNoteHeading) == std::string::npos;
}

std::vector<std::string> brewsOnPath(const ProbeProcess& process, const FileSystemOperating& fs) {
  const auto which = process.askTerminal(std::string(HomebrewContract::whichAllBrewCommand));
  if (!which || which->exitCode != 0) return {};
  return ProbeFiles::existingPathLines(fs, which->output);
}

// The command succeeded in a new Terminal window.
bool succeeds(const ProbeProcess& process, const std::string& command) {
  const auto answer = process.askTerminal(command);
  return answer && answer->exitCode == 0;
}

bool ghPresent(const ProbeProcess& process, const FileSystemOperating& fs) {
  for (std::string_view folder : HomebrewContract::binFolders) {
    if (ProbeFiles::isExecutableFile(fs, std::string(folder) + "/gh")) return true;
  }
  const auto command = process.askTerminal("command -v gh");
  return command && command->exitCode == 0 && ProbeText::isFaithful(command->output) &&
         !ProbeText::trimWhitespace(command->output).empty();
}

bool gitIdentitySet(const ProbeProcess& process, const FileSystemOperating& fs) {
  bool gitAvailable = false;
  for (const char* place : {"/Library/Developer/CommandLineTools", "/Applications/Xcode.app", "/opt/homebrew/bin/git",
                            "/usr/local/bin/git"}) {
    if (ProbeFiles::exists(fs, place)) {
      gitAvailable = true;
      break;
    }
  }
  if (!gitAvailable) return false;
  return succeeds(process,
                  "git config --global --get user.name >/dev/null && git config --global --get user.email >/dev/null");
}

}  // namespace

bool FoundationProber::agentDocNeeded(const FileSystemOperating& fs) {
  const auto home = fs.homeDirectory();
  const bool claude = commandInstalled(fs, "claude") || ProbeFiles::exists(fs, home / ".local/bin/claude") ||
                      ProbeFiles::exists(fs, home / ".claude") || ProbeFiles::exists(fs, "/Applications/Claude.app");
  const bool codex = commandInstalled(fs, "codex") || ProbeFiles::exists(fs, home / ".codex") ||
                     ProbeFiles::exists(fs, "/Applications/ChatGPT.app") ||
                     ProbeFiles::exists(fs, "/Applications/Codex.app");
  if (claude && lacksNote(fs, home / ".claude/CLAUDE.md")) return true;
  if (codex) return lacksNote(fs, home / ".codex/AGENTS.md");
  return false;
}

SetupProbeBundle FoundationProber::probe(const ShellRunner& shell, FileSystemOperating& fs) const {
  const ProbeProcess process(shell.process(), timeLimit_);
  auto onPath = std::async(std::launch::async, [&] { return brewsOnPath(process, fs); });
  auto version = std::async(std::launch::async, [&] {
    return process.askTerminal(std::string(HomebrewContract::versionCommand)).value_or(ShellOutput{"", -1});
  });
  auto gh = std::async(std::launch::async, [&] { return ghPresent(process, fs); });
  auto identity = std::async(std::launch::async, [&] { return gitIdentitySet(process, fs); });
  auto signedIn = std::async(std::launch::async, [&] { return succeeds(process, "gh auth status"); });

  SetupProbeBundle bundle;
  for (std::string_view location : HomebrewContract::brewLocations) {
    if (ProbeFiles::exists(fs, std::string(location))) bundle.installedPrimaryToolLocations.emplace_back(location);
  }
  bundle.shellConfigured = shell_setup::isConfigured(fs);
  bundle.agentDocNeeded = agentDocNeeded(fs);
  bundle.projectExists = ProbeFiles::exists(fs, fs.homeDirectory() / projectRelativePath);
  bundle.companionToolPresent = false;

  bundle.pathVisiblePrimaryTools = onPath.get();
  const ShellOutput brewVersion = version.get();
  const std::string versionText = ProbeText::trimWhitespace(brewVersion.output);
  if (!versionText.empty()) bundle.versionOutput = versionText;
  bundle.versionExitCode = brewVersion.exitCode;
  bundle.ghPresent = gh.get();
  bundle.gitIdentitySet = identity.get();
  bundle.ghAuthed = signedIn.get();
  return bundle;
}

}  // namespace bnch
