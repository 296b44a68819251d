#include <gtest/gtest.h>

#include <set>

#include "engine/remediation/setup_remediation.h"

namespace bnch {
namespace {

using Kind = SetupRemediation::Kind;

std::vector<SetupRemediation> everyPayloadFreeCase() {
  std::vector<SetupRemediation> all;
  for (int k = static_cast<int>(Kind::installCommandLineTools); k <= static_cast<int>(Kind::githubAuth); ++k) {
    all.push_back(SetupRemediation::of(static_cast<Kind>(k)));
  }
  return all;
}

TEST(RemediationCatalogue, PathRepairIdentifiersNameTheFolderKind) {
  EXPECT_EQ(SetupRemediation::repairPath("/opt/homebrew/bin").id(), "path-repair:brew-bin");
  EXPECT_EQ(SetupRemediation::repairPath("/usr/local/bin").id(), "path-repair:brew-bin");
  EXPECT_EQ(SetupRemediation::repairPath("/Users/alice/.local/bin").id(), "path-repair:local-bin");
  EXPECT_EQ(SetupRemediation::repairPath("/Users/alice/.claude/local").id(), "path-repair:claude-local");
  // Only the exact Homebrew folders count; a folder below them is "other".
  EXPECT_EQ(SetupRemediation::repairPath("/opt/homebrew/bin/extra").id(), "path-repair:other");
  EXPECT_EQ(SetupRemediation::repairPath("/Users/alice/.local/bin/tools").id(), "path-repair:other");
  EXPECT_EQ(SetupRemediation::repairPath("").id(), "path-repair:other");
  EXPECT_EQ(SetupRemediation::of(Kind::repairHomebrewPath).id(), "path-repair:homebrew");
}

TEST(RemediationCatalogue, PathRepairExplainsWithTheFolderAndBackquotes) {
  const SetupRemediation repair = SetupRemediation::repairPath("/Users/alice/.claude/local");
  EXPECT_EQ(repair.title(), "Fix your PATH so `claude` is found");
  EXPECT_EQ(repair.detail(),
            "We'll add `/Users/alice/.claude/local` to your PATH in `~/.zprofile` (after backing it up to "
            "`~/.zprofile.bak`) so your shell can find `claude`.");
  EXPECT_EQ(repair.method(), "zprofile_write");
  EXPECT_EQ(repair.postInstallCheck(), PostInstallCheck::none());
}

TEST(RemediationCatalogue, PythonProjectAlwaysExplainsDocumentsWhateverTheDestination) {
  const SetupRemediation inDocuments = SetupRemediation::createProject(ProjectTemplate::python, std::nullopt);
  const SetupRemediation elsewhere = SetupRemediation::createProject(ProjectTemplate::python, "/Users/alice/Code");
  EXPECT_EQ(inDocuments.id(), "example:python");
  EXPECT_EQ(inDocuments.title(), "Create the project");
  EXPECT_EQ(inDocuments.method(), "template_copy");
  EXPECT_EQ(elsewhere.detail(), inDocuments.detail());
  EXPECT_EQ(elsewhere.detail(),
            "We'll copy a small Python project into ~/Documents/Python-Example-Project \u2014 it runs with `uv run` "
            "and shows how to add a package.");
  EXPECT_NE(elsewhere, inDocuments);

  EXPECT_EQ(SetupRemediation::createProject(ProjectTemplate::simple, std::nullopt).title(),
            "Create the example project");
  EXPECT_EQ(SetupRemediation::createProject(ProjectTemplate::coding, std::nullopt).id(), "example:coding");
  EXPECT_EQ(SetupRemediation::createProject(ProjectTemplate::coding, std::nullopt).detail(),
            "We'll copy a spec-driven coding project into ~/Documents/AI-Coding-Project \u2014 a worked scaffold "
            "that teaches sustainable AI-assisted development.");
}

TEST(RemediationCatalogue, UvInstallsWithDifferentRefreshShareTheIdentifierButDiffer) {
  const SetupRemediation refreshing = SetupRemediation::installUv(true);
  const SetupRemediation plain = SetupRemediation::installUv(false);
  EXPECT_NE(refreshing, plain);
  EXPECT_EQ(refreshing, SetupRemediation::installUv(true));
  EXPECT_EQ(refreshing.id(), "brew:uv");
  EXPECT_EQ(plain.id(), "brew:uv");
  EXPECT_EQ(plain.title(), "Install Python (uv)");
  EXPECT_EQ(plain.method(), "brew");
  EXPECT_EQ(plain.postInstallCheck(),
            PostInstallCheck::executable({"/opt/homebrew/bin/uv", "/usr/local/bin/uv", "~/.local/bin/uv"}));
}

TEST(RemediationCatalogue, SkillAndServerTextsComeFromTheirNames) {
  AgentSkill skill{.slug = "pdf-tools", .displayName = "PDF tools", .badge = "reads and fills PDFs"};
  const SetupRemediation addSkill = SetupRemediation::installSkill(skill);
  EXPECT_EQ(addSkill.id(), "skill:pdf-tools");
  EXPECT_EQ(addSkill.title(), "Add PDF tools");
  EXPECT_EQ(addSkill.detail(), "We'll add the PDF tools skill to your AI agents \u2014 reads and fills PDFs.");
  EXPECT_EQ(addSkill.method(), "skill_install");

  MCPServer keyless{.slug = "docs",
                    .displayName = "Docs Search",
                    .connection = MCPServer::Connection::keylessOptionalKey("https://example/{key}")};
  MCPServer oauth{.slug = "tracker", .displayName = "Tracker", .connection = MCPServer::Connection::oauth()};
  EXPECT_EQ(SetupRemediation::addMCPServer(keyless, std::nullopt).id(), "mcp:docs");
  EXPECT_EQ(SetupRemediation::addMCPServer(keyless, std::nullopt).title(), "Add Docs Search");
  EXPECT_EQ(SetupRemediation::addMCPServer(keyless, "k").detail(),
            "We'll add the Docs Search MCP server to your AI agents.");
  EXPECT_EQ(SetupRemediation::addMCPServer(oauth, std::nullopt).detail(),
            "We'll add the Tracker MCP server to your AI agents, then you sign in inside Claude or Codex to finish.");
  EXPECT_EQ(SetupRemediation::addMCPServer(oauth, std::nullopt).method(), "mcp_add");
  EXPECT_NE(SetupRemediation::addMCPServer(keyless, "a"), SetupRemediation::addMCPServer(keyless, "b"));
}

TEST(RemediationCatalogue, GitIdentityIsOneActionWhateverTheName) {
  const SetupRemediation git = SetupRemediation::configureGit("Alice", "alice@example.com");
  EXPECT_EQ(git.id(), "git:config");
  EXPECT_EQ(git.title(), "Save your Git name and email");
  EXPECT_EQ(git.method(), "git_config");
  EXPECT_NE(git, SetupRemediation::configureGit("Alice", "other@example.com"));
}

TEST(RemediationCatalogue, IdentifiersOfThePayloadFreeCasesAreDistinctAndComplete) {
  const std::vector<std::string> expected{"clt",
                                          "homebrew",
                                          "brew:claude-code@latest",
                                          "path-repair:homebrew",
                                          "brew:warp",
                                          "brew:claude",
                                          "brew:zed",
                                          "brew:visual-studio-code",
                                          "brew:zettlr",
                                          "brew:obsidian",
                                          "brew:codex",
                                          "brew:chatgpt",
                                          "shell-config",
                                          "brew:mise",
                                          "mise:node@lts",
                                          "mise:ruby@latest",
                                          "mise:rust",
                                          "rustup",
                                          "brew:temurin",
                                          "java-home",
                                          "pkg:latest",
                                          "env-doc",
                                          "brew:gh",
                                          "git:gh-auth"};
  std::vector<std::string> ids;
  for (const SetupRemediation& remediation : everyPayloadFreeCase()) ids.push_back(remediation.id());
  EXPECT_EQ(ids, expected);
  EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), ids.size());
}

TEST(RemediationCatalogue, EveryCaseHasTitleAndMethodAndOnlyTwoHaveNoExplanation) {
  std::vector<std::string> withoutDetail;
  for (const SetupRemediation& remediation : everyPayloadFreeCase()) {
    EXPECT_FALSE(remediation.title().empty()) << remediation.id();
    EXPECT_FALSE(remediation.method().empty()) << remediation.id();
    if (remediation.detail().empty()) withoutDetail.push_back(remediation.id());
  }
  EXPECT_EQ(withoutDetail, (std::vector<std::string>{"clt", "env-doc"}));
}

TEST(RemediationCatalogue, BuiltExplanationsReadAsOneSentence) {
  EXPECT_EQ(SetupRemediation::of(Kind::installClaudeCLI).detail(),
            "We'll run `brew install --cask claude-code@latest` so Claude Code stays updatable under Homebrew, then "
            "verify `claude --version` runs.");
  EXPECT_EQ(SetupRemediation::of(Kind::installChatGPTDesktop).detail(),
            "We'll run `brew install --cask chatgpt` to install the ChatGPT desktop app, which has OpenAI's Codex "
            "coding agent built in.");
  EXPECT_EQ(SetupRemediation::of(Kind::installRustViaMise).detail(),
            "We'll run `mise use -g rust` to install Rust. mise uses rustup underneath, so cargo and rustc resolve "
            "through mise.");
  EXPECT_EQ(SetupRemediation::of(Kind::installTemurin).detail(),
            "We'll install the Temurin JDK with Homebrew (`temurin` cask) and set JAVA_HOME.");
  EXPECT_EQ(SetupRemediation::of(Kind::installGh).detail(), "We'll run `brew install gh` to install the GitHub CLI.");
  EXPECT_EQ(SetupRemediation::of(Kind::installWarp).detail(),
            "We'll install Warp via Homebrew \u2014 the modern, AI-assisted macOS terminal we recommend.");
  EXPECT_EQ(SetupRemediation::of(Kind::installZettlr).detail(), "free WYSIWYG editor");
}

TEST(RemediationCatalogue, PostInstallChecksKeepHomePathsUnexpanded) {
  EXPECT_EQ(SetupRemediation::of(Kind::installRustup).postInstallCheck(),
            PostInstallCheck::executable({"~/.cargo/bin/cargo"}));
  EXPECT_EQ(SetupRemediation::of(Kind::installNodeViaMise).postInstallCheck(),
            PostInstallCheck::executable({"~/.local/share/mise/shims/node"}));
  EXPECT_EQ(SetupRemediation::of(Kind::installChatGPTDesktop).postInstallCheck(),
            PostInstallCheck::appBundle({"ChatGPT.app", "Codex.app"}));
  EXPECT_EQ(SetupRemediation::of(Kind::installVSCode).postInstallCheck(),
            PostInstallCheck::appBundle({"Visual Studio Code.app"}));
  EXPECT_EQ(SetupRemediation::of(Kind::installGh).postInstallCheck(), PostInstallCheck::commandNamed("gh"));
  EXPECT_EQ(SetupRemediation::of(Kind::installTemurinPackage).postInstallCheck(),
            PostInstallCheck::directoryPrefixed("/Library/Java/JavaVirtualMachines", "temurin-"));
  EXPECT_EQ(SetupRemediation::of(Kind::installTemurin).postInstallCheck(),
            SetupRemediation::of(Kind::installTemurinPackage).postInstallCheck());
  EXPECT_EQ(SetupRemediation::of(Kind::installTemurin).title(),
            SetupRemediation::of(Kind::installTemurinPackage).title());
  EXPECT_EQ(SetupRemediation::of(Kind::setJavaHome).postInstallCheck(), PostInstallCheck::none());
  EXPECT_EQ(SetupRemediation::of(Kind::installHomebrew).postInstallCheck(), PostInstallCheck::none());
}

}  // namespace
}  // namespace bnch
