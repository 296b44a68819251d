// The stage model, the Homebrew and "uv owns Python" rules, and the sixteen
// stages of the Python workflow with their texts and actions.
#include <gtest/gtest.h>

#include "engine/product/python_spine_provider.h"
#include "engine/workflow/homebrew_state.h"
#include "engine/workflow/shared_stage_catalog.h"
#include "engine/workflow/uv_ownership.h"

namespace bnch {
namespace {

using Class = SetupDiagnosisClassification;
using Kind = SetupRemediation::Kind;

constexpr const char* kNative = "/opt/homebrew/bin/brew";
constexpr const char* kIntel = "/usr/local/bin/brew";

SystemProfile appleSilicon() {
  SystemProfile profile;
  profile.architecture = Architecture::appleSilicon;
  return profile;
}

SetupProbeBundle brew(std::vector<std::string> locations, bool onPath, std::optional<int32_t> exitCode) {
  SetupProbeBundle probes;
  probes.installedPrimaryToolLocations = std::move(locations);
  if (onPath) probes.pathVisiblePrimaryTools = {probes.installedPrimaryToolLocations.front()};
  probes.versionExitCode = exitCode;
  return probes;
}

TEST(HomebrewState, FollowsLocationsPathAndTheVersionRun) {
  SystemProfile intelMac;
  intelMac.architecture = Architecture::intel;
  EXPECT_EQ(homebrewState(appleSilicon(), brew({kNative}, true, 0)), HomebrewState::ready);
  EXPECT_EQ(homebrewState(appleSilicon(), brew({kNative, kIntel}, true, 0)), HomebrewState::twoPlaces);
  EXPECT_EQ(homebrewState(appleSilicon(), brew({kNative}, false, 0)), HomebrewState::notOnPath);
  EXPECT_EQ(homebrewState(appleSilicon(), brew({kNative}, false, std::nullopt)), HomebrewState::notOnPath);
  EXPECT_EQ(homebrewState(appleSilicon(), brew({kNative}, true, 127)), HomebrewState::notOnPath);
  EXPECT_EQ(homebrewState(appleSilicon(), brew({kIntel}, true, 0)), HomebrewState::wrongChip);
  EXPECT_EQ(homebrewState(appleSilicon(), brew({kIntel}, false, 1)), HomebrewState::wrongChip);
  EXPECT_EQ(homebrewState(appleSilicon(), brew({}, false, std::nullopt)), HomebrewState::absent);
  // Apple Silicon with both, runs but not found on PATH: the native one needs PATH.
  EXPECT_EQ(homebrewState(appleSilicon(), brew({kNative, kIntel}, false, 0)), HomebrewState::notOnPath);
  // Both on PATH: only the native one found first is ready; the Intel one first needs the PATH repair.
  SetupProbeBundle intelFirst = brew({kNative, kIntel}, true, 0);
  intelFirst.pathVisiblePrimaryTools = {kIntel, kNative};
  EXPECT_EQ(homebrewState(appleSilicon(), intelFirst), HomebrewState::notOnPath);
  intelFirst.pathVisiblePrimaryTools = {kNative, kIntel};
  EXPECT_EQ(homebrewState(appleSilicon(), intelFirst), HomebrewState::twoPlaces);
  // On an Intel Mac the /usr/local brew is the native one.
  EXPECT_EQ(homebrewState(intelMac, brew({kIntel}, true, 0)), HomebrewState::ready);
  EXPECT_EQ(homebrewState(intelMac, brew({kIntel}, false, 1)), HomebrewState::notOnPath);
  // A profile and probes with every field empty.
  EXPECT_EQ(homebrewState(SystemProfile{}, SetupProbeBundle{}), HomebrewState::absent);
}

TEST(HomebrewStage, TextsAndActionsPerState) {
  const PythonSpineProvider spine;
  struct Case {
    SetupProbeBundle probes;
    std::string headline;
    Class classification;
    std::vector<std::string> actionIDs;
    std::vector<VerifyPolicy> policies;
  };
  const std::vector<Case> cases{
      {brew({kNative}, true, 0), "Homebrew is installed", Class::ready, {}, {}},
      {brew({kNative, kIntel}, true, 0), "Homebrew is installed", Class::ready, {}, {}},
      {brew({kNative}, false, 1),
       "Homebrew is installed, but your shell can't find it",
       Class::fixable,
       {"path-repair:homebrew"},
       {VerifyPolicy::localVerification}},
      {brew({kIntel}, false, 1),
       "Homebrew is installed for the wrong chip",
       Class::fixable,
       {"homebrew"},
       {VerifyPolicy::installCompletion}},
      {brew({}, false, std::nullopt),
       "Homebrew isn't installed",
       Class::fixable,
       {"homebrew"},
       {VerifyPolicy::installCompletion}},
  };
  for (const Case& c : cases) {
    const auto workflow = spine.workflow(std::nullopt, appleSilicon(), c.probes, {});
    ASSERT_TRUE(workflow);
    const auto& stage = *workflow->steps[2].stage;
    ASSERT_EQ(stage.domainID(), "homebrew");
    EXPECT_EQ(stage.diagnosis().headline, c.headline);
    EXPECT_EQ(stage.diagnosis().classification, c.classification) << c.headline;
    std::vector<std::string> ids;
    std::vector<VerifyPolicy> policies;
    for (const auto& action : stage.actions()) {
      ids.push_back(action.id);
      policies.push_back(action.verifyPolicy);
    }
    EXPECT_EQ(ids, c.actionIDs) << c.headline;
    EXPECT_EQ(policies, c.policies) << c.headline;
  }
  const auto twoPlaces = SharedStageCatalog::homebrewDiagnosis(SharedDomainCopy::standard(), HomebrewState::twoPlaces);
  EXPECT_EQ(twoPlaces.detail,
            "You have Homebrew in two places (/opt/homebrew and /usr/local). We'll use the native /opt/homebrew and "
            "leave the other one untouched.");
  const auto notOnPath = SharedStageCatalog::homebrewDiagnosis(SharedDomainCopy::standard(), HomebrewState::notOnPath);
  EXPECT_EQ(notOnPath.detail,
            "brew is on your Mac but not on your PATH, so your terminal reports \"command not found\". We'll add it to "
            "~/.zprofile (backed up first) and re-check in a fresh shell.");
  EXPECT_EQ(SharedStageCatalog::homebrewDiagnosis(SharedDomainCopy::standard(), HomebrewState::ready).detail,
            "Homebrew is present \u2014 we'll use it to install your tools coherently and keep them updatable.");
}

PythonInstall uvInstall(const std::string& version) {
  return {PythonInstall::Origin::uv(),
          "/Users/ada/.local/share/uv/python/cpython-" + version + "-macos-aarch64-none/bin/python3", version};
}

SetupProbeBundle python(std::vector<PythonInstall> installs, std::optional<std::string> pythonPath,
                        std::optional<std::string> python3Path) {
  SetupProbeBundle probes;
  probes.pythonInventory = PythonInventory{std::move(installs), "/Users/ada"};
  PythonPathVerdict verdict;
  verdict.python.resolvedPath = std::move(pythonPath);
  verdict.python3.resolvedPath = std::move(python3Path);
  probes.pythonPathVerdict = verdict;
  return probes;
}

TEST(UvOwnsPython, OwnershipCases) {
  const PythonInstall uv = uvInstall("3.12.4");
  const PythonInstall brewPython{PythonInstall::Origin::homebrew(), "/opt/homebrew/bin/python3", "3.13.1"};
  const PythonInstall pyenv{PythonInstall::Origin::competing("pyenv"), "/Users/ada/.pyenv/versions/3.11.9/bin/python",
                            "3.11.9"};
  // The exact interpreter, or a sibling in its folder.
  EXPECT_TRUE(uvOwnsPython(python({uv}, std::nullopt, uv.path)));
  EXPECT_TRUE(uvOwnsPython(
      python({uv}, "/Users/ada/.local/share/uv/python/cpython-3.12.4-macos-aarch64-none/bin/python3.12", {})));
  // uv's shim folder.
  EXPECT_TRUE(uvOwnsPython(python({uv}, "/Users/ada/.local/bin/python", std::nullopt)));
  EXPECT_TRUE(uvOwnsPython(python({uv}, std::nullopt, "/Users/ada/.local/bin/python3")));
  // `python` is looked at before `python3` for the path rule: Homebrew's python wins.
  EXPECT_FALSE(uvOwnsPython(python({uv, brewPython}, "/opt/homebrew/bin/python3", "/Users/ada/.local/bin/python3")));
  // Another manager answers the commands.
  EXPECT_FALSE(uvOwnsPython(python({uv, pyenv}, "/Users/ada/.pyenv/shims/python", "/Users/ada/.pyenv/shims/python3")));
  // A uv path with no uv install in the inventory is not enough.
  EXPECT_FALSE(uvOwnsPython(python({}, "/Users/ada/.local/bin/python", std::nullopt)));
  // A folder merely sharing a prefix with a uv interpreter's folder is not inside it.
  const PythonInstall elsewhere{PythonInstall::Origin::uv(), "/opt/uvpython/bin/python3", "3.12.4"};
  EXPECT_TRUE(uvOwnsPython(python({elsewhere}, std::nullopt, "/opt/uvpython/bin/python3.12")));
  EXPECT_FALSE(uvOwnsPython(python({elsewhere}, std::nullopt, "/opt/uvpython/binx/python3")));
  // Nothing resolves, or nothing was probed.
  EXPECT_FALSE(uvOwnsPython(python({uv}, std::nullopt, std::nullopt)));
  EXPECT_FALSE(uvOwnsPython(SetupProbeBundle{}));
}

TEST(PythonStage, ReadyOnlyWhenUvOwnsPython) {
  const PythonSpineProvider spine;
  const auto ready = spine.workflow(std::nullopt, appleSilicon(),
                                    python({uvInstall("3.12.4")}, "/Users/ada/.local/bin/python", std::nullopt), {});
  const auto& readyStage = *ready->steps[4].stage;
  EXPECT_EQ(readyStage.domainID(), "python");
  EXPECT_EQ(readyStage.diagnosis(),
            (SetupDiagnosis{"Python is set up with uv",
                            "uv manages Python on this Mac, and the python command already resolves to it.",
                            Class::ready, std::nullopt}));
  EXPECT_TRUE(readyStage.actions().empty());

  const auto fixable = spine.workflow(std::nullopt, appleSilicon(), SetupProbeBundle{}, {});
  const auto& stage = *fixable->steps[4].stage;
  EXPECT_EQ(stage.diagnosis().headline, "Install Python with uv");
  EXPECT_EQ(stage.diagnosis().detail,
            "This app will add one line to your shell configuration so the python command works in a new terminal "
            "window.");
  ASSERT_EQ(stage.actions().size(), 1u);
  EXPECT_EQ(stage.actions()[0].id, "brew:uv");
  EXPECT_EQ(stage.actions()[0].displayLabel, "Install Python (uv)");
  EXPECT_EQ(stage.actions()[0].verifyPolicy, VerifyPolicy::installCompletion);
  EXPECT_EQ(spine.remediations("python", appleSilicon(), SetupProbeBundle{}),
            std::vector<SetupRemediation>{SetupRemediation::installUv(false)});
}

TEST(PythonWorkflow, SixteenStagesInOrderAndNoneForAGoal) {
  const PythonSpineProvider spine;
  EXPECT_FALSE(spine.workflow(std::string("learn"), SystemProfile{}, SetupProbeBundle{}, {}));
  const auto workflow = spine.workflow(std::nullopt, SystemProfile{}, SetupProbeBundle{}, {});
  ASSERT_TRUE(workflow);
  std::vector<std::string> domains;
  for (const auto& step : workflow->steps) domains.push_back(step.stage->domainID());
  EXPECT_EQ(domains, (std::vector<std::string>{"clt", "shell-config", "homebrew", "warp", "python", "python-project",
                                               "ai-claude", "codex", "project", "skills", "mcp", "editor", "notes",
                                               "languages", "agent-docs", "git"}));
  EXPECT_EQ(workflow->stages(DomainPlacement::primary).size(), 5u);
  EXPECT_EQ(workflow->stages(DomainPlacement::offer).size(), 1u);
  EXPECT_EQ(workflow->stages(DomainPlacement::optional).size(), 10u);
  EXPECT_EQ(workflow->placement("python-project"), DomainPlacement::offer);
  EXPECT_EQ(workflow->placement("git"), DomainPlacement::optional);
  EXPECT_FALSE(workflow->placement("java"));
  // A profile with every field empty: an unknown architecture, no tools at all.
  for (const auto& step : workflow->steps) {
    EXPECT_NE(step.stage->diagnosis().classification, Class::unknown) << step.stage->domainID();
  }
}

TEST(SetupWorkflow, NextDomainSkipsReadyStages) {
  const auto stage = [](std::string domain, Class c) {
    return std::make_shared<BasicSetupStage>(std::move(domain), SetupDiagnosis{"h", "d", c, std::nullopt},
                                             std::vector<SetupAction>{});
  };
  SetupWorkflow workflow{{
      {stage("a", Class::ready), DomainPlacement::primary},
      {stage("b", Class::fixable), DomainPlacement::primary},
      {stage("x", Class::fixable), DomainPlacement::offer},
      {stage("c", Class::ready), DomainPlacement::primary},
      {stage("d", Class::blocked), DomainPlacement::primary},
  }};
  EXPECT_EQ(workflow.nextDomain(std::nullopt, DomainPlacement::primary), "b");
  EXPECT_EQ(workflow.nextDomain("b", DomainPlacement::primary), "d");
  EXPECT_EQ(workflow.nextDomain("d", DomainPlacement::primary), std::nullopt);
  EXPECT_EQ(workflow.nextDomain("x", DomainPlacement::primary), std::nullopt);  // not among the primary ones
  EXPECT_EQ(workflow.nextDomain("nope", DomainPlacement::primary), std::nullopt);
  EXPECT_EQ(workflow.nextDomain(std::nullopt, DomainPlacement::optional), std::nullopt);

  SetupWorkflow copy = workflow;
  EXPECT_EQ(copy, workflow);
  copy.steps[1].stage = stage("b", Class::ready);  // a different object with other fields
  EXPECT_NE(copy, workflow);
  copy.steps[1].stage = stage("b", Class::fixable);  // a different object with equal fields
  EXPECT_EQ(copy, workflow);
}

TEST(CltStage, AdministratorDecidesTheTextNotTheAction) {
  const PythonSpineProvider spine;
  SystemProfile profile = appleSilicon();
  profile.xcodeCommandLineToolsPath = "/Library/Developer/CommandLineTools";
  EXPECT_EQ(spine.diagnosis("clt", profile, {}).headline, "Command Line Tools are installed");
  EXPECT_TRUE(spine.remediations("clt", profile, {}).empty());

  profile.xcodeCommandLineToolsPath.reset();
  EXPECT_EQ(spine.diagnosis("clt", profile, {}).headline, "Install Apple's Command Line Tools");

  profile.isAdministrator = false;
  const SetupDiagnosis notAdmin = spine.diagnosis("clt", profile, {});
  EXPECT_EQ(notAdmin.headline, "Not logged in as an administrator");
  EXPECT_EQ(notAdmin.classification, Class::fixable);
  EXPECT_EQ(spine.remediations("clt", profile, {}),
            std::vector<SetupRemediation>{SetupRemediation::of(Kind::installCommandLineTools)});
}

TEST(WarpStage, EitherFlagMakesItReady) {
  const PythonSpineProvider spine;
  SystemProfile profile;
  EXPECT_EQ(spine.diagnosis("warp", profile, {}).headline, "Try Warp \u2014 the AI-assisted terminal");
  EXPECT_EQ(spine.remediations("warp", profile, {}),
            std::vector<SetupRemediation>{SetupRemediation::of(Kind::installWarp)});
  profile.aiTooling.warpApp = true;
  EXPECT_EQ(spine.diagnosis("warp", profile, {}).headline, "Warp is installed");
  profile.aiTooling.warpApp = false;
  profile.terminals.warp = true;
  EXPECT_EQ(spine.diagnosis("warp", profile, {}).classification, Class::ready);
  EXPECT_TRUE(spine.remediations("warp", profile, {}).empty());
}

TEST(ClaudeAndCodexStages, SeveralCommandsBlockWithoutActions) {
  SystemProfile profile;
  profile.aiTooling.claudeCliLocations = {"/opt/homebrew/bin/claude", "/Users/ada/.claude/local/claude"};
  const auto claude = SharedStageCatalog::diagnosis("ai-claude", profile, {});
  EXPECT_EQ(claude->classification, Class::blocked);
  EXPECT_EQ(claude->headline, "More than one `claude` command found");
  EXPECT_EQ(claude->detail,
            "We found multiple `claude` installs (/opt/homebrew/bin/claude, /Users/ada/.claude/local/claude). To avoid "
            "breaking a setup you rely on, we won't remove anything automatically. Recommended: keep the "
            "Homebrew-managed one and remove the others, then make sure Homebrew's bin directory comes first on your "
            "PATH.");
  EXPECT_TRUE(SharedStageCatalog::remediations("ai-claude", profile, {}).empty());

  profile.aiTooling.codexCliLocations = {"/a/codex", "/b/codex"};
  const auto codex = SharedStageCatalog::diagnosis("codex", profile, {});
  EXPECT_EQ(codex->classification, Class::blocked);
  EXPECT_EQ(codex->headline, "More than one `codex` command found");
  EXPECT_EQ(
      codex->detail,
      "We found multiple `codex` installs (/a/codex, /b/codex). To avoid breaking a setup you rely on, we won't "
      "remove anything automatically. Recommended: keep the Homebrew-managed one and remove the others, then make "
      "sure Homebrew's bin directory comes first on your PATH.");
  EXPECT_TRUE(SharedStageCatalog::remediations("codex", profile, {}).empty());
}

TEST(ClaudeStage, ActionsOfferWhatIsMissing) {
  SystemProfile profile;
  EXPECT_EQ(SharedStageCatalog::diagnosis("ai-claude", profile, {})->headline, "Install Claude");
  EXPECT_EQ(SharedStageCatalog::remediations("ai-claude", profile, {}),
            (std::vector<SetupRemediation>{SetupRemediation::of(Kind::installClaudeDesktop),
                                           SetupRemediation::of(Kind::installClaudeCLI)}));
  profile.aiTooling.claudeCliLocations = {"/opt/homebrew/bin/claude"};
  EXPECT_EQ(SharedStageCatalog::remediations("ai-claude", profile, {}),
            std::vector<SetupRemediation>{SetupRemediation::of(Kind::installClaudeDesktop)});
  EXPECT_EQ(SharedStageCatalog::diagnosis("ai-claude", profile, {})->classification, Class::fixable);
  profile.aiTooling.claudeCodeDesktop = true;
  EXPECT_EQ(SharedStageCatalog::diagnosis("ai-claude", profile, {}),
            (SetupDiagnosis{"Claude is installed", "You have Claude Desktop and the Claude Code CLI.", Class::ready,
                            std::nullopt}));
  EXPECT_TRUE(SharedStageCatalog::remediations("ai-claude", profile, {}).empty());

  const auto actions = SharedStageCatalog::actions(
      {SetupRemediation::of(Kind::installClaudeDesktop), SetupRemediation::of(Kind::installClaudeCLI)});
  ASSERT_EQ(actions.size(), 2u);
  EXPECT_EQ(actions[0].id, "brew:claude");
  EXPECT_EQ(actions[0].verifyPolicy, VerifyPolicy::localVerification);
  EXPECT_EQ(actions[1].id, "brew:claude-code@latest");
  EXPECT_EQ(actions[1].verifyPolicy, VerifyPolicy::localVerification);
}

TEST(CodexStage, FixableOnlyWithNoOpenAITool) {
  SystemProfile profile;
  SetupProbeBundle probes;
  const auto fixable = SharedStageCatalog::diagnosis("codex", profile, probes);
  EXPECT_EQ(fixable->headline, "Also install ChatGPT?");
  EXPECT_EQ(fixable->footer, "We're not affiliated with OpenAI. We just like using both.");
  EXPECT_EQ(SharedStageCatalog::remediations("codex", profile, probes),
            (std::vector<SetupRemediation>{SetupRemediation::of(Kind::installCodexCLI),
                                           SetupRemediation::of(Kind::installChatGPTDesktop)}));
  probes.companionToolPresent = true;
  EXPECT_EQ(SharedStageCatalog::diagnosis("codex", profile, probes)->headline, "You have OpenAI's coding tools");
  EXPECT_TRUE(SharedStageCatalog::remediations("codex", profile, probes).empty());
  probes.companionToolPresent = false;
  profile.aiTooling.chatgptDesktop = true;
  EXPECT_EQ(SharedStageCatalog::diagnosis("codex", profile, probes)->classification, Class::ready);
}

TEST(OptionalStages, ReadyAndFixableTextsAndActions) {
  SystemProfile profile;
  SetupProbeBundle probes;
  const auto diag = [&](const char* domain) { return *SharedStageCatalog::diagnosis(domain, profile, probes); };
  const auto rems = [&](const char* domain) { return SharedStageCatalog::remediations(domain, profile, probes); };

  EXPECT_EQ(diag("editor").headline, "Code Editor");
  EXPECT_EQ(rems("editor"), (std::vector<SetupRemediation>{SetupRemediation::of(Kind::installZed),
                                                           SetupRemediation::of(Kind::installVSCode)}));
  EXPECT_EQ(diag("notes").detail,
            "Markdown is the AI-friendly text format for documents. You can use a code editor but a dedicated Markdown "
            "editor is easier. Choose a simple Markdown editor or an advanced \"second brain\" tool for linked "
            "documents (a PKM or personal knowledge manager). Install either or both; already-installed ones are "
            "grayed out.");
  profile.markdownEditors.zettlr = true;
  EXPECT_EQ(rems("notes"), std::vector<SetupRemediation>{SetupRemediation::of(Kind::installObsidian)});
  profile.markdownEditors.obsidian = true;
  EXPECT_EQ(diag("notes").headline, "You have Markdown editors");
  EXPECT_TRUE(rems("notes").empty());
  profile.aiTooling.vsCode = true;
  EXPECT_EQ(diag("editor").headline, "You have a code editor");
  EXPECT_TRUE(rems("editor").empty());

  EXPECT_EQ(diag("shell-config").headline, "Shell configuration");
  EXPECT_EQ(rems("shell-config"), std::vector<SetupRemediation>{SetupRemediation::of(Kind::configureShell)});
  EXPECT_EQ(diag("agent-docs").headline, "Your AI agent is set up");
  EXPECT_TRUE(rems("agent-docs").empty());
  EXPECT_EQ(diag("git").headline, "Set up Git with GitHub");
  EXPECT_EQ(
      diag("git").footer,
      "We never see your GitHub password \u2014 sign-in happens in your browser. Your name and email are saved to "
      "~/.gitconfig; your login is stored securely by the GitHub CLI.");
  EXPECT_EQ(diag("mcp").footer,
            "Connection keys are saved to your agent config file. Restart Claude or Codex to load new servers.");
  EXPECT_EQ(diag("skills").headline, "Add SKILLS");
  EXPECT_EQ(diag("languages").classification, Class::fixable);
  for (const char* domain : {"languages", "skills", "mcp", "git"}) EXPECT_TRUE(rems(domain).empty()) << domain;

  probes.shellConfigured = true;
  probes.agentDocNeeded = true;
  probes.ghPresent = probes.gitIdentitySet = probes.ghAuthed = true;
  EXPECT_EQ(diag("shell-config").headline, "Your shell is configured");
  EXPECT_TRUE(rems("shell-config").empty());
  EXPECT_EQ(diag("agent-docs").headline, "Tell your AI agent how your Mac is set up");
  EXPECT_EQ(rems("agent-docs"), std::vector<SetupRemediation>{SetupRemediation::of(Kind::documentEnvironment)});
  EXPECT_EQ(diag("git").headline, "Git and GitHub are set up");
  EXPECT_EQ(diag("git").footer, std::nullopt);

  EXPECT_FALSE(SharedStageCatalog::diagnosis("clt", profile, probes));
  EXPECT_FALSE(SharedStageCatalog::diagnosis("java", profile, probes));
}

TEST(ProjectStage, CodingProjectOnlyWithDevelopmentTooling) {
  SystemProfile profile;
  SetupProbeBundle probes;
  const auto simple = SetupRemediation::createProject(ProjectTemplate::simple, std::nullopt);
  const auto coding = SetupRemediation::createProject(ProjectTemplate::coding, std::nullopt);
  EXPECT_EQ(SharedStageCatalog::diagnosis("project", profile, probes)->footer,
            "This app never overwrites an existing CLAUDE.md or AGENTS.md.");
  EXPECT_EQ(SharedStageCatalog::remediations("project", profile, probes), std::vector<SetupRemediation>{simple});

  for (int sign = 0; sign < 4; ++sign) {
    SystemProfile tooled;
    if (sign == 0) tooled.miseExecutable = "/opt/homebrew/bin/mise";
    if (sign == 1) tooled.aiTooling.cursor = true;
    if (sign == 2) tooled.terminals.iterm = true;
    if (sign == 3) tooled.aiTooling.codexCliLocations = {"/usr/local/bin/codex"};
    EXPECT_EQ(SharedStageCatalog::remediations("project", tooled, probes),
              (std::vector<SetupRemediation>{simple, coding}))
        << sign;
  }
  probes.projectExists = true;
  EXPECT_EQ(SharedStageCatalog::diagnosis("project", profile, probes)->headline, "Your project is set up");
  EXPECT_TRUE(SharedStageCatalog::remediations("project", profile, probes).empty());
}

TEST(PythonProjectStage, AlwaysOffersThePythonTemplate) {
  const PythonSpineProvider spine;
  const SetupDiagnosis diagnosis = spine.diagnosis("python-project", SystemProfile{}, {});
  EXPECT_EQ(diagnosis.headline, "Install a Python example project?");
  EXPECT_EQ(diagnosis.classification, Class::fixable);
  EXPECT_EQ(spine.remediations("python-project", SystemProfile{}, {}),
            std::vector<SetupRemediation>{SetupRemediation::createProject(ProjectTemplate::python, std::nullopt)});
}

TEST(UnknownDomain, HeadlineIsTheIdentifier) {
  const PythonSpineProvider spine;
  EXPECT_EQ(spine.diagnosis("java", SystemProfile{}, {}), (SetupDiagnosis{"java", "", Class::unknown, std::nullopt}));
  EXPECT_TRUE(spine.remediations("java", SystemProfile{}, {}).empty());
}

TEST(DisplayNames, TableThenTitleCase) {
  EXPECT_EQ(SharedStageCatalog::displayName("clt"), "Command Line Tools");
  EXPECT_EQ(SharedStageCatalog::displayName("java-package"), "Java");
  EXPECT_EQ(SharedStageCatalog::displayName("warp"), "Terminal");
  EXPECT_EQ(SharedStageCatalog::displayName("codex"), "ChatGPT");
  EXPECT_EQ(SharedStageCatalog::displayName("mcp"), "MCP Servers");
  EXPECT_EQ(SharedStageCatalog::displayName("python-project"), "Python Project");
  EXPECT_EQ(SharedStageCatalog::displayName("python"), "Python");
  EXPECT_EQ(SharedStageCatalog::displayName("a--b-"), "A B");
  EXPECT_EQ(SharedStageCatalog::displayName(""), "");
}

}  // namespace
}  // namespace bnch
