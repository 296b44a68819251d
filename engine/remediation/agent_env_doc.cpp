#include "engine/remediation/agent_env_doc.h"

#include "engine/remediation/user_file.h"

namespace bnch {
namespace fs = std::filesystem;

namespace {

bool commandInstalled(const FileSystemOperating& fs, const std::string& name) {
  return fs.fileExists(fs::path("/opt/homebrew") / "bin" / name) ||
         fs.fileExists(fs::path("/usr/local") / "bin" / name);
}

// True when the file's text contains `needle`; an unreadable file mentions nothing.
bool mentions(const FileSystemOperating& fs, const fs::path& path, std::string_view needle) {
  try {
    const auto bytes = user_file::readExisting(fs, path);
    return bytes && bytes->find(needle) != std::string::npos;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

AgentEnvDoc::AgentEnvDoc(FileSystemOperating& fs, const ProductNames& product)
    : fs_(&fs), productName_(product.shellConfigMarker) {}

AgentEnvDoc::Detection AgentEnvDoc::detect() const {
  const fs::path home = fs_->homeDirectory();
  Detection found;
  found.homebrew = commandInstalled(*fs_, "brew");
  found.python = commandInstalled(*fs_, "uv") || fs_->fileExists(home / ".local/bin/uv");
  found.nodeAndRuby = commandInstalled(*fs_, "mise") || fs_->fileExists(home / ".local/bin/mise");
  found.rust = fs_->fileExists(home / ".cargo/bin/cargo") || mentions(*fs_, home / ".zprofile", ".cargo/bin");
  found.java = mentions(*fs_, home / ".zprofile", "JAVA_HOME");
  found.claude = commandInstalled(*fs_, "claude") || fs_->fileExists(home / ".local/bin/claude") ||
                 fs_->fileExists(home / ".claude") || fs_->fileExists("/Applications/Claude.app");
  found.codex = commandInstalled(*fs_, "codex") || fs_->fileExists(home / ".codex") ||
                fs_->fileExists("/Applications/ChatGPT.app") || fs_->fileExists("/Applications/Codex.app");
  return found;
}

std::vector<std::string> AgentEnvDoc::blockLines(const Detection& detection) const {
  std::vector<std::string> lines{
      "<!-- " + productName_ + " \u2014 development environment" + " (managed; you can edit the lines below) -->",
      "## Development environment (" + productName_ + ")",
      "",
      "This Mac's developer toolchain was configured by " + productName_ +
          ". One owner per language (no conflicting version managers on PATH). When working in a project, drive "
          "per-project versions with the manager that owns the language:",
      "",
  };
  if (detection.homebrew) lines.push_back("- Homebrew is the base package manager (`brew`).");
  if (detection.python) {
    lines.push_back(
        "- Python: uv owns Python. `uv python install <version>`, `uv venv` / `.venv`, `uv run`; pin per project with "
        "`uv python pin <version>`. Do not use a Homebrew or system `python` for projects.");
  }
  if (detection.nodeAndRuby) {
    lines.push_back(
        "- Node / Ruby: mise manages versions. `mise use node@<version>` / `mise use ruby@<version>` per project "
        "(writes `mise.toml`); `mise use -g <tool>@<version>` sets the global default.");
  }
  if (detection.rust) {
    lines.push_back(
        "- Rust: rustup owns toolchains. `rustup default <toolchain>`, `rustup toolchain install`, `cargo`.");
  }
  if (detection.java) {
    lines.push_back(
        "- Java: Temurin JDK via Homebrew; `JAVA_HOME` is set with `/usr/libexec/java_home` (use `-v <N>` to select a "
        "version).");
  }
  lines.push_back("");
  lines.push_back(
      "PATH and tool activation live in `~/.zprofile` (login shells, including this agent's own subshells) and "
      "`~/.zshrc` (interactive mise activation). API keys go in `~/.env` (sourced by `~/.zshrc`); never hardcode a "
      "key.");
  lines.push_back("");
  return lines;
}

WriterReport AgentEnvDoc::write() const {
  const Detection detection = detect();
  if (!detection.claude && !detection.codex) {
    return {{"No AI agent (Claude or Codex) detected \u2014 skipping the agent setup note."}, true};
  }

  // The lines joined by line feeds; the last one is empty, so the note ends with
  // a line feed.
  std::string block;
  for (const auto& line : blockLines(detection)) {
    if (!block.empty()) block += '\n';
    block += line;
  }
  if (block.empty() || block.back() != '\n') block += '\n';

  const std::string marker = productName_ + " \u2014 development environment";
  const fs::path home = fs_->homeDirectory();
  struct Target {
    bool present;
    fs::path file;
    const char* label;
  };
  const Target targets[] = {
      {detection.claude, home / ".claude" / "CLAUDE.md", "Claude (~/.claude/CLAUDE.md)"},
      {detection.codex, home / ".codex" / "AGENTS.md", "Codex (~/.codex/AGENTS.md)"},
  };

  WriterReport report;
  for (const auto& target : targets) {
    if (!target.present) continue;
    try {
      const std::string existing = user_file::readExisting(*fs_, target.file).value_or("");
      if (existing.find(marker) != std::string::npos) {
        report.lines.push_back(std::string(target.label) + " already documents the setup \u2014 nothing to do.");
        continue;
      }
      fs_->createDirectory(target.file.parent_path(), true);
      if (!existing.empty()) {
        fs::path backup = target.file;
        backup += ".bak";
        user_file::writeBackup(*fs_, existing, target.file, backup);
      }
      std::string contents = existing;
      contents += user_file::blockSeparator(existing);
      contents += block;
      fs_->writeData(contents, target.file);
      report.lines.push_back("Documented your setup for " + std::string(target.label) + ".");
    } catch (const std::exception& error) {
      report.lines.push_back("Couldn't write " + std::string(target.label) + ": " + user_file::describe(error));
      report.succeeded = false;
    }
  }
  return report;
}

}  // namespace bnch
