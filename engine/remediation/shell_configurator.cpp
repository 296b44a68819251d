#include "engine/remediation/shell_configurator.h"

#include "engine/probes/shell_setup.h"
#include "engine/remediation/file_append_writer.h"
#include "engine/remediation/user_file.h"

namespace bnch {
namespace fs = std::filesystem;

namespace {

using KeyDetection = FileAppendWriter::KeyDetection;

constexpr const char* kZprofileHeader = "# ~/.zprofile \u2014 PATH + environment, loaded once per login shell";
constexpr const char* kZshrcHeader = "# ~/.zshrc \u2014 aliases, completions, prompt (interactive shells)";
constexpr std::string_view kZprofileKey = shell_setup::zprofileKey;
constexpr std::string_view kZshrcKey = shell_setup::zshrcKey;

constexpr const char* kEnvTemplate =
    "# ~/.env \u2014 API keys for MCP servers and CLIs (sourced by ~/.zshrc). Fill in real values.\n"
    "# Uncomment a line and paste your own value.\n"
    "# export ANTHROPIC_API_KEY=...\n"
    "# export OPENAI_API_KEY=...\n"
    "# Example vendor-specific MCP key (rename per server):\n"
    "# export BRAVE_API_KEY=...\n";

using user_file::describe;

}  // namespace

struct ShellConfigurator::Step {
  const char* fileName;  // under the home folder
  const char* line;
  const char* label;
  const char* key;
  const char* name;  // as the person reads it in messages
};

ShellConfigurator::ShellConfigurator(FileSystemOperating& fs, const ProductNames& product)
    : fs_(&fs), product_(product) {}

WriterReport ShellConfigurator::configure() const {
  WriterReport report;
  const fs::path home = fs_->homeDirectory();

  // A start-up file gets its header line when it is new or blank. The block's key
  // is looked for outside comments, as isConfigured() does, so a key that only
  // appears commented out still gets a working block and the check then agrees.
  const auto startupFile = [&](const char* fileName, const char* displayName, const char* header,
                               FileAppendWriter::Block block) {
    FileAppendWriter writer(home / fileName, *fs_, product_);
    block.headerWhenEmpty = header;
    try {
      const auto preview = writer.append(block);
      if (preview.alreadySet) {
        report.lines.push_back(std::string(displayName) + " is already configured \u2014 nothing to do.");
      } else {
        report.lines.push_back("Configured " + std::string(displayName) + " (backup at " + preview.backupPath.string() +
                               ").");
      }
    } catch (const std::exception& error) {
      report.lines.push_back("Couldn't update " + std::string(displayName) + ": " + describe(error));
      report.succeeded = false;
    }
  };

  startupFile(".zprofile", "~/.zprofile", kZprofileHeader,
              {
                  .lines = {std::string(kZprofileKey)},
                  .label = "shell environment",
                  .isPresent =
                      [](std::string_view text) {
                        return FileAppendWriter::containsKey(text, kZprofileKey, KeyDetection::ignoringCommentLines);
                      },
              });

  startupFile(".zshrc", "~/.zshrc", kZshrcHeader,
              {
                  .lines =
                      {
                          "if type brew >/dev/null 2>&1; then",
                          "  FPATH=\"$(brew --prefix)/share/zsh/site-functions:$FPATH\"",
                          "fi",
                          "autoload -Uz compinit && compinit",
                          "[ -f \"$HOME/.env\" ] && set -a && source \"$HOME/.env\" && set +a",
                      },
                  .label = "interactive shell",
                  .isPresent =
                      [](std::string_view text) {
                        return FileAppendWriter::containsKey(text, kZshrcKey, KeyDetection::ignoringCommentLines);
                      },
              });

  const fs::path env = home / ".env";
  if (fs_->fileExists(env)) {
    report.lines.push_back("~/.env already exists \u2014 leaving it untouched (add keys there yourself).");
  } else {
    try {
      fs_->writeData(kEnvTemplate, env, 0600);
      report.lines.push_back(
          "Created ~/.env (permissions 600) with commented placeholders \u2014 add your API keys there.");
    } catch (const std::exception& error) {
      report.lines.push_back("Couldn't create ~/.env: " + describe(error));
      report.succeeded = false;
    }
  }

  if (report.succeeded) {
    report.lines.push_back("Shell configuration complete. The changes apply automatically from now on.");
  }
  return report;
}

std::string ShellConfigurator::runStep(const Step& step) const {
  FileAppendWriter writer(fs_->homeDirectory() / step.fileName, *fs_, product_);
  try {
    // A key in a comment ("# TODO: add $HOME/.local/bin to PATH") sets nothing.
    const auto preview = writer.append(step.line, step.label, step.key, KeyDetection::ignoringCommentLines);
    if (preview.alreadySet) return std::string(step.name) + " is already set \u2014 nothing to do.";
    return "Configured " + std::string(step.name) + ".";
  } catch (const std::exception& error) {
    return "Couldn't configure " + std::string(step.name) + ": " + describe(error);
  }
}

std::vector<std::string> ShellConfigurator::configureUvPath() const {
  return {runStep({".zprofile", "export PATH=\"$HOME/.local/bin:$PATH\"", "uv PATH", "HOME/.local/bin",
                   "uv on PATH (~/.zprofile)"})};
}

std::vector<std::string> ShellConfigurator::configureMise() const {
  return {
      runStep({".zprofile", "command -v mise >/dev/null 2>&1 && eval \"$(mise activate zsh --shims)\"",
               "mise (login shims)", "mise activate zsh --shims", "mise shims (~/.zprofile)"}),
      runStep({".zshrc", "command -v mise >/dev/null 2>&1 && eval \"$(mise activate zsh)\"", "mise (interactive)",
               "mise activate zsh)", "mise activate (~/.zshrc)"}),
  };
}

std::vector<std::string> ShellConfigurator::configureCargoPath() const {
  return {runStep({".zprofile", "export PATH=\"$HOME/.cargo/bin:$PATH\"", "rustup PATH", "HOME/.cargo/bin",
                   "Rust (cargo) on PATH (~/.zprofile)"})};
}

bool ShellConfigurator::isConfigured() const { return shell_setup::isConfigured(*fs_); }

}  // namespace bnch
