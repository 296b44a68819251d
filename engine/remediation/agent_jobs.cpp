// The jobs that give the person's AI agents skills and MCP servers.

#include <filesystem>
#include <string>

#include "engine/platform/text.h"
#include "engine/platform/uuid.h"
#include "engine/remediation/mcp_config_writer.h"
#include "engine/remediation/remediation_jobs.h"
#include "engine/remediation/resource_locator.h"
#include "engine/remediation/runner_text.h"
#include "engine/remediation/skill_folder_installer.h"

namespace bnch::jobs {

namespace {

namespace fs = std::filesystem;

// A private folder in the temporary directory, removed when this goes out of
// scope, whatever the outcome.
class ScratchFolder {
 public:
  ScratchFolder(FileSystemOperating& files, fs::path path) : files_(&files), path_(std::move(path)) {
    files_->createDirectory(path_, true);
    try {
      FileAttributes privateOnly;
      privateOnly.posixPermissions = 0700;
      files_->setAttributes(privateOnly, path_);
    } catch (...) {
      remove();
      throw;
    }
  }
  ~ScratchFolder() { remove(); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const fs::path& path() const { return path_; }

 private:
  void remove() noexcept {
    try {
      if (files_->fileExists(path_)) files_->removeItem(path_);
    } catch (...) {
      // Nothing more can be done; the folder is private to this user.
    }
  }

  FileSystemOperating* files_;
  fs::path path_;
};

fs::path temporaryDirectory(const RemediationServices& services) {
  const fs::path& configured = services.executorOptions.temporaryDirectory;
  return configured.empty() ? fs::path("/tmp") : configured;
}

void installBundledSkill(const RemediationJob& job, const AgentSkill& skill) {
  const auto source = ResourceLocator(job.fs(), job.services().resources).skill(skill.source.name);
  if (!source) {
    job.output(RunnerText::bundledSkillMissing(skill.slug));
    return job.complete(1);
  }
  job.finishWith(SkillFolderInstaller(job.fs()).install(*source, skill.slug));
}

void installFetchedSkill(const RemediationJob& job, const AgentSkill& skill) {
  const AgentSkill::Source& source = skill.source;
  job.output(RunnerText::fetchingSkill(skill.displayName, source.repo));
  WriterReport report;
  {
    std::optional<ScratchFolder> scratch;
    try {
      scratch.emplace(job.fs(), temporaryDirectory(job.services()) /
                                    RunnerText::skillScratchName(skill.slug, UUID::random().uuidString()));
    } catch (const FileSystemError& error) {
      job.output(error.description());
      job.output(RunnerText::couldNotFetchSkill(skill.slug, source.repo));
      return job.complete(1);
    }
    const int32_t code = job.runLoginShell(skillFetchCommand(source.repo, scratch->path(), source.pin));
    if (job.isCanceled()) {
      scratch.reset();
      return job.canceled();
    }
    if (code != 0) {
      scratch.reset();
      job.output(RunnerText::couldNotFetchSkill(skill.slug, source.repo));
      return job.complete(1);
    }
    // The repository's own history is no part of the skill.
    try {
      job.fs().removeItem(scratch->path() / ".git");
    } catch (const FileSystemError&) {
      // Left in the scratch folder, which goes below; only a root skill would copy it.
    }
    const fs::path folder = source.subpath == "." ? scratch->path() : scratch->path() / source.subpath;
    report = SkillFolderInstaller(job.fs()).install(folder, skill.slug);
  }
  job.finishWith(report);
}

// Keys go into the server's address, so only the characters an address keeps
// as they are: letters, digits and - _ . ~.
bool isPlausibleKey(std::string_view key) {
  for (const char c : key) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                         c == '_' || c == '.' || c == '~';
    if (!allowed) return false;
  }
  return true;
}

// The line with every copy of `secret` (an address holding the key) replaced.
std::string withoutSecret(std::string line, const std::string& secret, const std::string& standIn) {
  if (secret.empty()) return line;
  for (auto at = line.find(secret); at != std::string::npos; at = line.find(secret, at + standIn.size())) {
    line.replace(at, secret.size(), standIn);
  }
  return line;
}

}  // namespace

void installSkill(const RemediationJob& job, const AgentSkill& skill) {
  if (skill.source.kind == AgentSkill::Source::Kind::bundle) return installBundledSkill(job, skill);
  installFetchedSkill(job, skill);
}

void addMCPServer(const RemediationJob& job, const MCPServer& server, const std::optional<std::string>& apiKey) {
  // A key pasted with a line break or spaces around it is still the key.
  std::optional<std::string> key;
  if (apiKey) key = trimmedText(*apiKey);
  if (key && !isPlausibleKey(*key)) {
    job.output(std::string(MCPServerText::keyRejected));
    return job.complete(1);
  }
  const std::string endpoint = server.endpoint(key);
  // The key must never reach a progress line: the log can be copied and shared.
  const std::string secret = endpoint == server.url ? "" : endpoint;
  const std::string shown = server.endpoint(std::string(MCPServerText::keyPlaceholder));
  const auto emit = [&](const MCPConfigWriter::Outcome& outcome) {
    for (const auto& line : outcome.lines) job.output(withoutSecret(line, secret, shown));
  };

  FileSystemOperating& files = job.fs();
  const bool claudeDesktop = files.directoryExists(files.homeDirectory() / "Library/Application Support/Claude");
  const MCPConfigWriter writer(files);
  const auto claude = writer.addToClaude(server.slug, endpoint);
  emit(claude);
  const auto codex = writer.addToCodex(server.slug, endpoint);
  emit(codex);
  const bool failed = (claude.agentPresent && claude.failed) || (codex.agentPresent && codex.failed);
  const bool agentPresent = claude.agentPresent || codex.agentPresent;

  if (claudeDesktop) job.output(MCPServerText::claudeDesktopHint(server.displayName));
  if (!agentPresent && !claudeDesktop) {
    job.output(MCPServerText::noAgent(server.displayName));
    return job.complete(0);
  }
  if (agentPresent && server.connection.kind == MCPServer::Connection::Kind::oauth && !failed) {
    job.output(MCPServerText::signInToFinish(server.displayName));
  }
  job.complete(failed ? 1 : 0);
}

}  // namespace bnch::jobs
