#include "engine/remediation/shell_configurator.h"
#include "engine/product/python_product.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/remediation/file_append_writer.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/temp_dir.h"

namespace bnch {
namespace {

using testing::FaultInjectingFileSystem;
using testing::RootedFileSystem;
using testing::TempDir;

const std::string kZprofileHeader = "# ~/.zprofile \u2014 PATH + environment, loaded once per login shell\n";
const std::string kZshrcHeader = "# ~/.zshrc \u2014 aliases, completions, prompt (interactive shells)\n";
const std::string kZprofileBlock = "# Benchkit \u2014 shell environment\ntypeset -U path PATH\n";
const std::string kZshrcBlock =
    "# Benchkit \u2014 interactive shell\n"
    "if type brew >/dev/null 2>&1; then\n"
    "  FPATH=\"$(brew --prefix)/share/zsh/site-functions:$FPATH\"\n"
    "fi\n"
    "autoload -Uz compinit && compinit\n"
    "[ -f \"$HOME/.env\" ] && set -a && source \"$HOME/.env\" && set +a\n";
const std::string kEnvTemplate =
    "# ~/.env \u2014 API keys for MCP servers and CLIs (sourced by ~/.zshrc). Fill in real values.\n"
    "# Uncomment a line and paste your own value.\n"
    "# export ANTHROPIC_API_KEY=...\n"
    "# export OPENAI_API_KEY=...\n"
    "# Example vendor-specific MCP key (rename per server):\n"
    "# export BRAVE_API_KEY=...\n";

class ShellConfiguratorTest : public ::testing::Test {
 protected:
  ShellConfigurator configurator() { return ShellConfigurator(fs, pythonProduct()); }

  TempDir dir;
  RootedFileSystem fs{dir.path()};
};

TEST_F(ShellConfiguratorTest, SetsUpAFreshHomeAndASecondRunChangesNothing) {
  EXPECT_FALSE(configurator().isConfigured());

  const WriterReport first = configurator().configure();

  EXPECT_EQ(first,
            (WriterReport{
                {
                    "Configured ~/.zprofile (backup at /Users/alice/.zprofile.bak).",
                    "Configured ~/.zshrc (backup at /Users/alice/.zshrc.bak).",
                    "Created ~/.env (permissions 600) with commented placeholders \u2014 add your API keys there.",
                    "Shell configuration complete. The changes apply automatically from now on.",
                },
                true,
            }));
  EXPECT_EQ(fs.contents("/Users/alice/.zprofile"), kZprofileHeader + "\n" + kZprofileBlock);
  EXPECT_EQ(fs.contents("/Users/alice/.zprofile.bak"), kZprofileHeader);
  EXPECT_EQ(fs.contents("/Users/alice/.zshrc"), kZshrcHeader + "\n" + kZshrcBlock);
  EXPECT_EQ(fs.contents("/Users/alice/.zshrc.bak"), kZshrcHeader);
  EXPECT_EQ(fs.contents("/Users/alice/.env"), kEnvTemplate);
  EXPECT_EQ(fs.snapshot().at("/Users/alice/.env").mode & 0777, 0600u);
  EXPECT_TRUE(configurator().isConfigured());

  const auto before = fs.snapshot();
  const WriterReport second = configurator().configure();
  EXPECT_EQ(second.lines, (std::vector<std::string>{
                              "~/.zprofile is already configured \u2014 nothing to do.",
                              "~/.zshrc is already configured \u2014 nothing to do.",
                              "~/.env already exists \u2014 leaving it untouched (add keys there yourself).",
                              "Shell configuration complete. The changes apply automatically from now on.",
                          }));
  EXPECT_EQ(fs.snapshot(), before);
}

TEST_F(ShellConfiguratorTest, AppendsToThePersonsFilesWithoutAHeaderAndKeepsTheirBytes) {
  const std::string zprofile = "eval \"$(/opt/homebrew/bin/brew shellenv)\"";  // no final line feed
  const std::string zshrc = "export EDITOR=vim\r\nalias ll='ls -l'\r\n";       // CR LF line ends
  fs.writeFile("/Users/alice/.zprofile", zprofile);
  fs.writeFile("/Users/alice/.zshrc", zshrc);
  fs.writeFile("/Users/alice/.env", "export OPENAI_API_KEY=sk-mine\n", 0644);

  EXPECT_TRUE(configurator().configure().succeeded);

  EXPECT_EQ(fs.contents("/Users/alice/.zprofile"), zprofile + "\n\n" + kZprofileBlock);
  EXPECT_EQ(fs.contents("/Users/alice/.zprofile.bak"), zprofile);
  EXPECT_EQ(fs.contents("/Users/alice/.zshrc"), zshrc + "\n" + kZshrcBlock);
  EXPECT_EQ(fs.contents("/Users/alice/.zshrc.bak"), zshrc);
  // An existing ~/.env is neither rewritten nor re-permissioned.
  EXPECT_EQ(fs.contents("/Users/alice/.env"), "export OPENAI_API_KEY=sk-mine\n");
  EXPECT_EQ(fs.snapshot().at("/Users/alice/.env").mode & 0777, 0644u);
}

TEST_F(ShellConfiguratorTest, IsConfiguredNeedsBothActiveLinesAndTheEnvFile) {
  fs.writeFile("/Users/alice/.zprofile", "typeset -U path PATH\n");
  fs.writeFile("/Users/alice/.zshrc", "source \"$HOME/.env\"\n");
  EXPECT_FALSE(configurator().isConfigured());  // no ~/.env

  fs.writeFile("/Users/alice/.env", "");
  EXPECT_TRUE(configurator().isConfigured());

  fs.writeFile("/Users/alice/.zshrc", "# source \"$HOME/.env\"\n");
  EXPECT_FALSE(configurator().isConfigured());

  // The set-up then adds a working line, after which the check agrees.
  const WriterReport report = configurator().configure();
  EXPECT_EQ(report.lines.at(1), "Configured ~/.zshrc (backup at /Users/alice/.zshrc.bak).");
  EXPECT_TRUE(configurator().isConfigured());

  fs.removeItem("/Users/alice/.zprofile");
  fs.makeDirectory("/Users/alice/.zprofile");
  EXPECT_FALSE(configurator().isConfigured());
}

TEST_F(ShellConfiguratorTest, AFileThatCannotBeReadIsReportedAndTheOthersAreStillConfigured) {
  fs.makeDirectory("/Users/alice/.zprofile");

  const WriterReport report = configurator().configure();

  EXPECT_EQ(report, (WriterReport{
                        {
                            "Couldn't update ~/.zprofile: Couldn't read file: The file \u201C.zprofile\u201D "
                            "couldn\u2019t be opened because it is a folder.",
                            "Configured ~/.zshrc (backup at /Users/alice/.zshrc.bak).",
                            "Created ~/.env (permissions 600) with commented placeholders \u2014 add your API keys "
                            "there.",
                        },
                        false,
                    }));
  EXPECT_TRUE(fs.directoryExists("/Users/alice/.zprofile"));
  EXPECT_FALSE(fs.fileExists("/Users/alice/.zprofile.bak"));
}

TEST_F(ShellConfiguratorTest, AnUnreadableFileIsLeftAlone) {
  auto rooted = std::make_shared<RootedFileSystem>(dir.path());
  rooted->writeFile("/Users/alice/.zshrc", "export SECRET_SAUCE=1\n");
  FaultInjectingFileSystem faulty(rooted);
  faulty.setCountReads(true);
  ShellConfigurator shell(faulty, pythonProduct());

  faulty.failOperation(3, EACCES);  // ~/.zprofile is new (backup, file), then ~/.zshrc is read
  const WriterReport report = shell.configure();

  EXPECT_EQ(report.lines.at(1),
            "Couldn't update ~/.zshrc: Couldn't read file: The file \u201C.zshrc\u201D couldn\u2019t be opened "
            "because you don\u2019t have permission to view it.");
  EXPECT_FALSE(report.succeeded);
  EXPECT_EQ(rooted->contents("/Users/alice/.zshrc"), "export SECRET_SAUCE=1\n");
  EXPECT_FALSE(rooted->fileExists("/Users/alice/.zshrc.bak"));
}

TEST_F(ShellConfiguratorTest, PathStepsReportEachFileAndConvergeOnASecondRun) {
  fs.writeFile("/Users/alice/.zshrc", "command -v mise >/dev/null 2>&1 && eval \"$(mise activate zsh --shims)\"\n");

  EXPECT_EQ(configurator().configureUvPath(), std::vector<std::string>{"Configured uv on PATH (~/.zprofile)."});
  // The login shims line in ~/.zshrc is not the interactive activation.
  EXPECT_EQ(configurator().configureMise(),
            (std::vector<std::string>{"Configured mise shims (~/.zprofile).", "Configured mise activate (~/.zshrc)."}));
  EXPECT_EQ(configurator().configureCargoPath(),
            std::vector<std::string>{"Configured Rust (cargo) on PATH (~/.zprofile)."});

  EXPECT_EQ(fs.contents("/Users/alice/.zprofile"),
            "# Benchkit \u2014 uv PATH\nexport PATH=\"$HOME/.local/bin:$PATH\"\n\n"
            "# Benchkit \u2014 mise (login shims)\n"
            "command -v mise >/dev/null 2>&1 && eval \"$(mise activate zsh --shims)\"\n\n"
            "# Benchkit \u2014 rustup PATH\nexport PATH=\"$HOME/.cargo/bin:$PATH\"\n");
  EXPECT_EQ(fs.contents("/Users/alice/.zprofile.bak"), "");

  EXPECT_EQ(configurator().configureUvPath(),
            std::vector<std::string>{"uv on PATH (~/.zprofile) is already set \u2014 nothing to do."});
  EXPECT_EQ(configurator().configureMise(),
            (std::vector<std::string>{"mise shims (~/.zprofile) is already set \u2014 nothing to do.",
                                      "mise activate (~/.zshrc) is already set \u2014 nothing to do."}));
  EXPECT_EQ(configurator().configureCargoPath(),
            std::vector<std::string>{"Rust (cargo) on PATH (~/.zprofile) is already set \u2014 nothing to do."});
}

// A key in a comment sets nothing: the step still adds its line.
TEST_F(ShellConfiguratorTest, KeysInCommentsDoNotCountAsSet) {
  fs.writeFile("/Users/alice/.zprofile",
               "# TODO: add $HOME/.local/bin to PATH\n  # and HOME/.cargo/bin too, some day\n");
  EXPECT_EQ(configurator().configureUvPath(), std::vector<std::string>{"Configured uv on PATH (~/.zprofile)."});
  EXPECT_EQ(configurator().configureCargoPath(),
            std::vector<std::string>{"Configured Rust (cargo) on PATH (~/.zprofile)."});
  EXPECT_NE(fs.contents("/Users/alice/.zprofile").find("\nexport PATH=\"$HOME/.local/bin:$PATH\"\n"),
            std::string::npos);
}

// A backup is never more readable than the file it copies (owner-only at most),
// and ~/.env is private from its first byte.
TEST_F(ShellConfiguratorTest, BackupsAreNeverMoreReadableThanTheirOriginals) {
  struct Case {
    std::uint32_t original;
    std::uint32_t backup;
  };
  for (const Case& c : {Case{0600, 0600}, Case{0644, 0600}, Case{0400, 0400}, Case{0640, 0600}}) {
    fs.writeFile("/Users/alice/.zshrc", "export OPENAI_API_KEY=sk-test\n", c.original);
    if (fs.fileExists("/Users/alice/.zshrc.bak")) fs.removeItem("/Users/alice/.zshrc.bak");
    FileAppendWriter(fs.homeDirectory() / ".zshrc", fs, pythonProduct())
        .append("export X=1", "x", "X=1", FileAppendWriter::KeyDetection::ignoringCommentLines);
    EXPECT_EQ(fs.snapshot().at("/Users/alice/.zshrc.bak").mode & 0777, c.backup) << std::oct << c.original;
  }
  // Through a link the original's bits are not known: owner-only.
  fs.writeFile("/Users/alice/dotfiles/zprofile", "export A=1\n", 0644);
  std::filesystem::create_symlink(dir / "Users/alice/dotfiles/zprofile", dir / "Users/alice/.zprofile");
  configurator().configureUvPath();
  EXPECT_EQ(fs.snapshot().at("/Users/alice/.zprofile.bak").mode & 0777, 0600u);

  configurator().configure();
  EXPECT_EQ(fs.snapshot().at("/Users/alice/.env").mode & 0777, 0600u);
}

TEST_F(ShellConfiguratorTest, AFailedStepNamesWhatItConfigured) {
  fs.makeDirectory("/Users/alice/.zprofile.bak");  // blocks nothing: an existing backup is kept
  fs.writeFile("/Users/alice/.zprofile", "export A=1\n");
  fs.makeDirectory("/Users/alice/.zshrc");
  EXPECT_EQ(configurator().configureMise(),
            (std::vector<std::string>{"Configured mise shims (~/.zprofile).",
                                      "Couldn't configure mise activate (~/.zshrc): Couldn't read file: The file "
                                      "\u201C.zshrc\u201D couldn\u2019t be opened because it is a folder."}));
}

TEST(ShellConfiguratorHome, AHomeFolderWithSpacesAndQuotesWorks) {
  TempDir dir;
  RootedFileSystem fs(dir.path(), {.home = "/Users/Ann O'Hara \"Annie\""});
  ShellConfigurator shell(fs, pythonProduct());

  const WriterReport report = shell.configure();

  EXPECT_TRUE(report.succeeded);
  EXPECT_EQ(report.lines.front(), "Configured ~/.zprofile (backup at /Users/Ann O'Hara \"Annie\"/.zprofile.bak).");
  EXPECT_EQ(fs.contents("/Users/Ann O'Hara \"Annie\"/.zshrc"), kZshrcHeader + "\n" + kZshrcBlock);
  EXPECT_TRUE(shell.isConfigured());
}

}  // namespace
}  // namespace bnch
