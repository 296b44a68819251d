// The setup workflow's screens, driven through the real QML by objectName with
// a scripted Mac: each step's texts and controls, the failure ramp, the
// special stages' installs, the outcome and the satisfaction card.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>

#include <QPalette>

#include "engine/remediation/homebrew_installer.h"
#include "engine/remediation/language_remediations.h"
#include "engine/workflow/spine_render_policy.h"
#include "tests/support/setup_scenarios.h"
#include "tests/ui/screen_fixture.h"
#include "ui/flow_model.h"

namespace bnch::ui {
namespace {

using ::testing::ElementsAre;
using Kind = SetupRemediation::Kind;
using testing::brewProbes;
using testing::freshMac;
using testing::freshProbes;
using testing::readyMac;
using testing::readyProbes;

// pyenv owns the python command.
SetupProbeBundle pyenvProbes() {
  SetupProbeBundle probes = freshProbes();
  const PythonInstall pyenv{PythonInstall::Origin::competing("pyenv"), "/Users/alice/.pyenv/versions/3.11.9/bin/python",
                            "3.11.9"};
  probes.pythonInventory = PythonInventory{{pyenv}, "/Users/alice"};
  probes.pythonPathVerdict->python.resolvedPath = pyenv.path;
  return probes;
}

SetupVerificationResult passed() {
  SetupVerificationResult result;
  result.passed = true;
  result.exitCode = 0;
  result.engineOutcome = "likely_resolved";
  result.verifiedItems = {"uv is available in a new terminal window", "Python is installed and managed by uv",
                          "A project can be created", "A package installs and imports"};
  return result;
}

class WorkflowScreens : public Screens {
 public:
  void SetUp() override {
    store->set(StoredValue{std::string("learning")}, config.defaultsKey(".experience_bucket"));
    profile = freshMac();
    *prober->bundle = freshProbes();
    *verifier->result = passed();
  }
  void TearDown() override {
    if (verification) verification->set_value();
    Screens::TearDown();
  }

  // Launches and opens the workflow; `until` is the screen to wait for.
  void openWorkflow(const char* until = "diagnosis-screen") {
    launchConsented();
    click("welcome-diagnose-button");
    ASSERT_TRUE(waitShown(until)) << until;
  }
  FlowModel* flow() {
    QQuickItem* screen = shown("setup-workflow-screen");
    return screen ? screen->property("flow").value<FlowModel*>() : nullptr;
  }
  SetupFlowModel& engineFlow() { return flow()->engineModel(); }
  // Clicks and waits for the next screen.
  void step(const char* button, const char* next) {
    click(button);
    ASSERT_TRUE(waitShown(next)) << button << " did not lead to " << next;
  }
  // A Mac where every primary stage is ready: on to the outcome.
  void reachOutcome() {
    profile = readyMac();
    *prober->bundle = readyProbes();
    openWorkflow();
    step("diagnosis-continue", "stage-python-project");
    step("stage-skip", "keep-going-screen");
    step("finish-here", "outcome-screen");
  }
  // The progress screen's report, as it hands it to the flow model.
  void reportInstall(const char* outcome, const char* errorText = "") {
    flow()->clearPendingInstall();
    flow()->installFinished(flow()->stepName(), outcome, errorText);
    QTest::qWait(20);
  }
  void holdVerification() {
    verification.emplace();
    *verifier->gate = verification->get_future().share();
  }
  bool isChecked(const char* name) {
    QQuickItem* item = shown(name);
    return item && item->property("checked").toBool();
  }
  void type(const char* name, const QString& text) {
    QQuickItem* field = shown(name);
    ASSERT_NE(field, nullptr) << name;
    field->setProperty("text", text);
    QMetaObject::invokeMethod(field, "textEdited");
  }

  std::optional<std::promise<void>> verification;
};

struct StepCase {
  const char* name;
  std::function<void(WorkflowScreens&)> reach;
  const char* windowTitle;
  std::map<std::string, QString> texts;  // objectName -> text shown
  std::vector<const char*> shownToo;
  std::vector<const char*> notShown;
};

void PrintTo(const StepCase& c, std::ostream* out) { *out << c.name; }

class WorkflowSteps : public WorkflowScreens, public ::testing::WithParamInterface<StepCase> {};

// Each step of the flow: its window title, its texts and its controls.
TEST_P(WorkflowSteps, ShowItsTextsAndControls) {
  const StepCase& c = GetParam();
  c.reach(*this);
  if (HasFatalFailure()) return;
  EXPECT_EQ(window->title(), c.windowTitle);
  for (const auto& [name, expected] : c.texts) EXPECT_EQ(text(name.c_str()), expected) << name;
  for (const char* name : c.shownToo) EXPECT_NE(shown(name), nullptr) << name;
  for (const char* name : c.notShown) EXPECT_EQ(shown(name), nullptr) << name;

  // BNCH_STEP_SCREENSHOTS=DIR keeps each step at the minimum size, light and dark, to look at.
  if (const QString folder = qEnvironmentVariable("BNCH_STEP_SCREENSHOTS"); !folder.isEmpty()) {
    window->resize(720, 700);
    if (QQuickItem* stack = shown("navigation-stack")) {
      EXPECT_TRUE(QTest::qWaitFor([&] { return !stack->property("busy").toBool(); }, 3000));
    }
    for (const bool dark : {false, true}) {
      QPalette palette(dark ? QColor(0x1c, 0x1d, 0x20) : QColor(0xf6, 0xf6, 0xf7));
      if (dark) palette.setColor(QPalette::Text, QColor(0xec, 0xec, 0xef));
      QGuiApplication::setPalette(palette);
      QTest::qWait(50);
      const QString name = QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name());
      window->grabWindow().save(
          QStringLiteral("%1/%2-%3.png").arg(folder, name.section('/', -1), dark ? "dark" : "light"));
    }
    QGuiApplication::setPalette(QPalette());
  }
}

std::vector<StepCase> stepCases() {
  auto onStage = [](const char* domain, SystemProfile mac, SetupProbeBundle probes) {
    return [=](WorkflowScreens& t) {
      t.profile = mac;
      *t.prober->bundle = probes;
      t.openWorkflow();
      t.flow()->showStage(domain);
      ASSERT_TRUE(t.waitShown((std::string("stage-") + domain).c_str()));
    };
  };
  const std::vector<StepCase> cases{
      {"loading",
       [](WorkflowScreens& t) {
         t.makeProfileSlow();
         t.openWorkflow("workflow-loading");
       },
       "Benchkit for Python",
       {{"workflow-loading-headline", "Checking your Mac…"}},
       {"workflow-loading-indicator"},
       {}},
      {"diagnosis summary",
       [](WorkflowScreens& t) { t.openWorkflow(); },
       "Diagnosis",
       {{"diagnosis-headline", "Here's what the system check found"},
        {"diagnosis-line-clt", "Command Line Tools: not installed"},
        {"diagnosis-continue", "Continue"},
        {"diagnosis-footer", "Nothing changes on your Mac without your okay."},
        {"diagnosis-evidence-note", "Continuing will install and properly configure Python using the uv utility."}},
       {"diagnosis-line-shell-config", "diagnosis-line-homebrew", "diagnosis-line-python", "diagnosis-evidence"},
       {"diagnosis-line-warp"}},
      {"readiness warning",
       [](WorkflowScreens& t) {
         t.profile.macosVersion = {13, 6, 0};
         t.openWorkflow();
         t.step("diagnosis-continue", "readiness-screen");
       },
       "Your macOS version",
       {{"readiness-headline", "This Mac is running an older macOS"},
        {"readiness-continue", "Continue anyway"},
        {"readiness-stop", "Stop and update macOS"}},
       {},
       {}},
      {"competing owner",
       [](WorkflowScreens& t) {
         *t.prober->bundle = pyenvProbes();
         t.openWorkflow();
         t.step("diagnosis-continue", "competing-owner-screen");
       },
       "Python setup",
       {{"competing-owner-headline", "Something else manages Python"},
        {"competing-owner-uninstall", "How to uninstall Python"},
        {"competing-owner-cancel", "Cancel and quit"},
        {"competing-owner-continue", "Continue and install Python with uv"}},
       {},
       {}},
      {"ordinary stage",
       [](WorkflowScreens& t) {
         t.openWorkflow();
         t.step("diagnosis-continue", "stage-clt");
       },
       "Command Line Tools",
       {{"stage-headline", "Install the Command Line Tools"},
        {"clt", "Install Command Line Tools"},
        {"stage-skip", "Skip"}},
       {},
       {"failure-ramp", "install-homebrew-first"}},
      {"Homebrew first",
       onStage("ai-claude", freshMac(), freshProbes()),
       "Claude",
       {{"homebrew-first-note",
         "This step installs with Homebrew, which isn't installed yet. Install Homebrew first, or skip."},
        {"install-homebrew-first", "Install Homebrew first"},
        {"stage-skip", "Skip"}},
       {},
       {"install-claude-desktop"}},
      {"applications to tick",
       onStage("ai-claude", readyMac(), brewProbes()),
       "Claude",
       {{"stage-headline", "Install Claude"},
        {"install-claude-desktop", "Claude Desktop"},
        {"install-claude-cli", "Claude Code CLI"},
        {"install-selected", "Install selected"}},
       {},
       {"install-homebrew-first", "special-title"}},
      {"languages",
       onStage("languages", readyMac(), brewProbes()),
       "Languages",
       {{"special-title", "Install languages"},
        {"lang-node", "JavaScript (Node)"},
        {"lang-java", "Java (requires macOS password)"},
        {"install-languages", "Install selected languages"}},
       {"lang-python", "lang-ruby", "lang-rust"},
       {"refresh-brew-index"}},
      {"project",
       onStage("project", readyMac(), brewProbes()),
       "Starter Project",
       {{"stage-headline", "Set up a project"},
        {"create-project", "Install in Documents"},
        {"choose-project-folder", "Choose my folder…"}},
       {},
       {"special-title"}},
      {"skills",
       onStage("skills", readyMac(), brewProbes()),
       "Skills",
       {{"skill-avoid-ai-writing", "Avoid AI writing"}, {"add-skills", "Add selected"}},
       {"skill-downloads-cleanup"},
       {}},
      {"MCP servers",
       onStage("mcp", readyMac(), brewProbes()),
       "MCP Servers",
       {{"mcp-firecrawl", "Firecrawl"}, {"add-mcp", "Add selected"}},
       {"mcp-key-firecrawl", "mcp-notion"},
       {"mcp-key-notion"}},
      {"Git",
       onStage("git", readyMac(), brewProbes()),
       "Git",
       {{"stage-headline", "Set up Git with GitHub"}, {"git-setup", "Set up Git"}},
       {"git-name", "git-email"},
       {"git-identity-set", "special-title"}},
      {"failure ramp",
       [](WorkflowScreens& t) {
         t.openWorkflow();
         t.step("diagnosis-continue", "stage-clt");
         t.click("clt");
         t.reportInstall("failure", "Couldn't install the Command Line Tools.");
         ASSERT_TRUE(t.waitShown("failure-ramp"));
       },
       "Command Line Tools",
       {{"failure-ramp-title", "That step didn't finish."},
        {"failure-ramp-text", "Couldn't install the Command Line Tools."},
        {"failure-ramp-manual", "Or run this in Terminal yourself:"},
        {"failure-ramp-copy", "Copy command"},
        {"failure-ramp-guide", "Read the guide"},
        {"failure-ramp-retry", "Try again"},
        {"failure-ramp-skip", "Skip this step"}},
       {},
       {"stage-skip", "clt"}},
      {"interstitial",
       [](WorkflowScreens& t) {
         auto policy = std::make_shared<SpineRenderPolicy>(*t.config.spinePolicy);
         policy->postPrimaryInterstitial = SpineRenderPolicy::InterstitialScreen{
             "Almost there", "One more thing", "Before we check Python…", "Check it", "Takes a minute.", "python"};
         t.config.spinePolicy = policy;
         t.profile = readyMac();
         *t.prober->bundle = readyProbes();
         t.openWorkflow();
         t.step("diagnosis-continue", "interstitial-screen");
       },
       "Almost there",
       {{"interstitial-headline", "One more thing"},
        {"interstitial-body", "Before we check Python…"},
        {"interstitial-disclosure", "Takes a minute."},
        {"interstitial-continue", "Check it"}},
       {},
       {}},
      {"verifying",
       [](WorkflowScreens& t) {
         t.holdVerification();
         t.profile = readyMac();
         *t.prober->bundle = readyProbes();
         t.openWorkflow();
         t.step("diagnosis-continue", "workflow-verifying");
       },
       "Done",
       {{"workflow-verifying-headline", "Checking that Python works…"}},
       {"workflow-verifying-indicator"},
       {}},
      {"keep-going gate",
       [](WorkflowScreens& t) {
         t.profile = readyMac();
         *t.prober->bundle = readyProbes();
         t.openWorkflow();
         t.step("diagnosis-continue", "stage-python-project");
         t.step("stage-skip", "keep-going-screen");
       },
       "Ready for more?",
       {{"keep-going-headline", "Python is ready"}, {"keep-going", "Keep going"}, {"finish-here", "Finish here"}},
       {},
       {}},
      {"outcome",
       [](WorkflowScreens& t) { t.reachOutcome(); },
       "Done",
       {{"outcome-headline", "Your Python is ready"},
        {"outcome-body", "Python is installed and can install packages"},
        {"outcome-question", "Did this pretty much complete what you came to do?"},
        {"outcome-resolved", "Yes, all set"},
        {"outcome-blocked", "Not quite"}},
       {"outcome-checklist"},
       {"outcome-limitation", "show-example-projects", "outcome-agent-suggestion"}},
      {"satisfaction",
       [](WorkflowScreens& t) {
         t.reachOutcome();
         t.step("outcome-resolved", "satisfaction-screen");
       },
       "One last question",
       {{"satisfaction-headline", "We need your feedback"},
        {"satisfaction-dismiss", "Dismiss"},
        {"satisfaction-score-0", "0"},
        {"satisfaction-score-10", "10"},
        {"satisfaction-done", "Done"}},
       {"satisfaction-card"},
       {"satisfaction-submit"}},
  };
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Steps, WorkflowSteps, ::testing::ValuesIn(stepCases()),
                         [](const ::testing::TestParamInfo<StepCase>& info) {
                           std::string name;
                           for (char c : std::string(info.param.name)) {
                             if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                           }
                           return name;
                         });

// The failure ramp: the manual command goes on the clipboard, the guide opens,
// "Try again" approves the same install again, and a stage without a manual
// command has no copy block.
TEST_F(WorkflowScreens, TheFailureRampCopiesTheCommandOpensTheGuideAndTriesTheSameInstallAgain) {
  profile.xcodeCommandLineToolsPath = "/Library/Developer/CommandLineTools";
  openWorkflow();
  step("diagnosis-continue", "stage-shell-config");
  flow()->showStage("homebrew");
  ASSERT_TRUE(waitShown("stage-homebrew"));
  click("homebrew");
  const std::optional<PendingInstall> first = engineFlow().pendingInstall();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->remediations.at(0).kind, Kind::installHomebrew);
  reportInstall("failure", "Couldn't install Homebrew — the installer exited with code 1.");
  ASSERT_TRUE(waitShown("failure-ramp"));
  EXPECT_EQ(text("failure-ramp-text"), "Couldn't install Homebrew — the installer exited with code 1.");

  click("failure-ramp-copy");
  EXPECT_THAT(platform.clipboard, ElementsAre(QString::fromStdString(HomebrewInstaller::installCommand())));
  EXPECT_EQ(platform.clipboard.at(0),
            R"cmd(/bin/bash -c "$(curl -fsSL https://raw.githubusercontent.com/Homebrew/install/HEAD/install.sh)")cmd");
  click("failure-ramp-guide");
  EXPECT_THAT(platform.openedURLs, ElementsAre("https://quillora.com/homebrew"));

  click("failure-ramp-retry");
  EXPECT_EQ(engineFlow().pendingInstall(), first);
  EXPECT_EQ(shown("failure-ramp"), nullptr) << "a new attempt is under way";
  reportInstall("failure");
  ASSERT_TRUE(waitShown("failure-ramp"));
  click("failure-ramp-retry");
  EXPECT_EQ(engineFlow().pendingInstall(), first);

  // The shell configuration has no manual command.
  reportInstall("canceled");
  flow()->showStage("shell-config");
  ASSERT_TRUE(waitShown("stage-shell-config"));
  click("shell-config");
  reportInstall("failure", "Couldn't write ~/.zprofile.");
  ASSERT_TRUE(waitShown("failure-ramp"));
  EXPECT_EQ(text("failure-ramp-text"), "Couldn't write ~/.zprofile.");
  EXPECT_EQ(shown("failure-ramp-manual"), nullptr);
  EXPECT_EQ(shown("failure-ramp-copy"), nullptr);
  step("failure-ramp-skip", "stage-homebrew");
}

// The outcome question is reported once per process, whatever the answer of a
// second run; the satisfaction card then ends the run at the welcome screen.
TEST_F(WorkflowScreens, TheOutcomeIsReportedOncePerProcessAndEachRunEndsAtTheWelcomeScreen) {
  reachOutcome();
  QTest::keyClick(window, Qt::Key_Return);  // the primary answer, "Yes, all set"
  ASSERT_TRUE(waitShown("satisfaction-screen"));
  step("satisfaction-done", "welcome-screen");
  EXPECT_EQ(root->navigation()->currentScreenName(), "welcome");

  step("welcome-diagnose-button", "diagnosis-screen");
  step("diagnosis-continue", "stage-python-project");
  step("stage-skip", "keep-going-screen");
  step("finish-here", "outcome-screen");
  step("outcome-blocked", "satisfaction-screen");
  const auto reported = tracker->recorded.named("outcome_reported");
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported[0].data.at("self_report"), JSONValue("resolved"));
  EXPECT_EQ(reported[0].data.at("engine_outcome"), JSONValue("likely_resolved"));
  EXPECT_EQ(tracker->recorded.named("nps_shown").size(), 1u);

  click("satisfaction-dismiss");
  step("satisfaction-done", "welcome-screen");
  EXPECT_EQ(tracker->recorded.named("nps_dismissed").size(), 1u);
  EXPECT_TRUE(tracker->recorded.named("nps_submitted").empty());
}

// The satisfaction score with its reason: blank sent as null, long ones cut,
// 0 a valid score; the flag is stored, and a later run skips the card.
TEST_F(WorkflowScreens, TheSatisfactionCardSendsTheScoreWithItsReasonOnce) {
  const QString longReason = QString(600, QChar(u'é'));
  const struct {
    int score;
    QString reason;
    JSONValue sent;
    bool pressSubmit;
  } cases[] = {
      {7, "   \n  ", JSONValue(nullptr), true},
      {0, "  Clear steps.  ", JSONValue("Clear steps."), false},  // "Done" sends a pending score
      {10, longReason, JSONValue(longReason.left(500).toStdString()), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.score);
    store->set(std::nullopt, config.defaultsKey(".nps_submitted"));
    const std::size_t before = tracker->recorded.named("nps_submitted").size();
    if (!window) {
      reachOutcome();
    } else {
      step("welcome-diagnose-button", "diagnosis-screen");
      step("diagnosis-continue", "stage-python-project");
      step("stage-skip", "keep-going-screen");
      step("finish-here", "outcome-screen");
    }
    step("outcome-resolved", "satisfaction-screen");
    click(("satisfaction-score-" + std::to_string(c.score)).c_str());
    ASSERT_TRUE(waitShown("satisfaction-reason"));
    shown("satisfaction-reason")->setProperty("text", c.reason);
    if (c.pressSubmit) {
      click("satisfaction-submit");
      EXPECT_EQ(text("satisfaction-thanks"), "Thanks for the feedback.");
    }
    step("satisfaction-done", "welcome-screen");
    const auto submitted = tracker->recorded.named("nps_submitted");
    ASSERT_EQ(submitted.size(), before + 1);
    EXPECT_EQ(submitted.back().data.at("score"), JSONValue(static_cast<std::int64_t>(c.score)));
    EXPECT_EQ(submitted.back().data.at("reason"), c.sent);
    EXPECT_TRUE(store->boolean(config.defaultsKey(".nps_submitted")));
  }

  // Submitted before: the outcome's answer ends the run.
  step("welcome-diagnose-button", "diagnosis-screen");
  step("diagnosis-continue", "stage-python-project");
  step("stage-skip", "keep-going-screen");
  step("finish-here", "outcome-screen");
  step("outcome-resolved", "welcome-screen");
}

// "Cancel and quit" reports the owner's cancel and ends the program; "Stop" on a
// readiness warning ends the run at the welcome screen.
TEST_F(WorkflowScreens, TheCompetingOwnerCancelQuitsAndAReadinessStopGoesHome) {
  *prober->bundle = pyenvProbes();
  profile.macosVersion = {12, 7, 0};
  openWorkflow();
  step("diagnosis-continue", "competing-owner-screen");
  click("competing-owner-cancel");
  EXPECT_EQ(quits, 1);
  const auto actions = tracker->recorded.named("competing_owner_action");
  ASSERT_EQ(actions.size(), 1u);
  EXPECT_EQ(actions[0].data.at("owner"), JSONValue("pyenv"));
  EXPECT_EQ(actions[0].data.at("action"), JSONValue("cancel"));
  EXPECT_EQ(engineFlow().pendingInstall(), std::nullopt);

  step("competing-owner-continue", "readiness-screen");
  step("readiness-stop", "welcome-screen");
  EXPECT_EQ(tracker->recorded.named("macos_advisory_action").size(), 1u);
}

// The special stages turn the person's choices into one install each.
TEST_F(WorkflowScreens, SpecialStagesInstallWhatIsTicked) {
  profile = readyMac();
  *prober->bundle = brewProbes();
  // uv already manages a Python; Homebrew's package list is three days old.
  fs->createDirectory("/Users/alice/.local/share/uv/python/cpython-3.12.4", true);
  const auto index = temp.path() / "Users/alice/Library/Caches/Homebrew/api/formula.jws.json";
  fs->createDirectory("/Users/alice/Library/Caches/Homebrew/api", true);
  fs->write("{}", "/Users/alice/Library/Caches/Homebrew/api/formula.jws.json", false);
  std::filesystem::last_write_time(index, std::filesystem::file_time_type::clock::now() - std::chrono::hours(75));
  // Notion is already in Claude Code's configuration.
  fs->write(R"({"mcpServers": {"notion": {"type": "http"}}, "numStartups": 3})", "/Users/alice/.claude.json", false);
  openWorkflow();
  auto pending = [&] {
    std::vector<std::string> ids;
    if (engineFlow().pendingInstall()) {
      for (const auto& r : engineFlow().pendingInstall()->remediations) ids.push_back(r.id());
    }
    return ids;
  };
  auto show = [&](const char* domain) {
    flow()->clearPendingInstall();
    flow()->showStage(domain);
    ASSERT_TRUE(waitShown((std::string("stage-") + domain).c_str()));
  };

  // Applications: both ticked the first time; the choice is kept on a return.
  show("ai-claude");
  EXPECT_TRUE(isChecked("install-claude-desktop"));
  EXPECT_TRUE(isChecked("install-claude-cli"));
  click("install-claude-desktop");
  click("install-selected");
  EXPECT_THAT(pending(), ElementsAre("brew:claude-code@latest"));
  show("codex");
  show("ai-claude");
  EXPECT_FALSE(isChecked("install-claude-desktop"));
  EXPECT_TRUE(isChecked("install-claude-cli"));

  // Languages: Python is already there; the refresh is offered, ticked, and reported.
  show("languages");
  EXPECT_EQ(text("lang-python-installed"), "✓ Already installed");
  EXPECT_FALSE(shown("lang-python")->property("enabled").toBool());
  EXPECT_EQ(text("refresh-brew-index"), "Update Homebrew's package list first (yours is 3 days old)");
  EXPECT_TRUE(isChecked("refresh-brew-index"));
  click("lang-python");
  EXPECT_FALSE(isChecked("lang-python"));
  click("lang-node");
  click("lang-rust");
  click("install-languages");
  const auto expected = languageRemediations({BNCHLanguage::node, BNCHLanguage::rust}, true);
  ASSERT_TRUE(engineFlow().pendingInstall());
  EXPECT_EQ(engineFlow().pendingInstall()->remediations, expected);
  const auto choice = tracker->recorded.named("brew_index_refresh_choice");
  ASSERT_EQ(choice.size(), 1u);
  EXPECT_EQ(choice[0].data.at("accepted"), JSONValue(true));
  EXPECT_EQ(choice[0].data.at("index_age_hours"), JSONValue(std::int64_t{75}));

  // Project: a cancelled chooser does nothing; a chosen folder is the destination.
  show("project");
  click("choose-project-folder");
  EXPECT_EQ(engineFlow().pendingInstall(), std::nullopt);
  platform.chosenFolder = "/Users/alice/Code";
  click("choose-project-folder");
  ASSERT_TRUE(engineFlow().pendingInstall());
  EXPECT_EQ(engineFlow().pendingInstall()->remediations.at(0).destinationPath, "/Users/alice/Code");
  show("project");
  click("create-project");
  EXPECT_EQ(engineFlow().pendingInstall()->remediations.at(0).destinationPath, std::nullopt);

  // Skills: the preselected one is ticked.
  show("skills");
  EXPECT_TRUE(isChecked("skill-avoid-ai-writing"));
  click("skill-downloads-cleanup");
  click("add-skills");
  EXPECT_THAT(pending(), ElementsAre("skill:avoid-ai-writing", "skill:downloads-cleanup"));

  // MCP: one added before; the key is masked, trimmed, handed to the install and kept out of events.
  show("mcp");
  EXPECT_EQ(text("mcp-notion-installed"), "✓ Added");
  EXPECT_FALSE(shown("mcp-notion")->property("enabled").toBool());
  EXPECT_EQ(shown("mcp-key-firecrawl")->property("echoMode").toInt(), 2) << "TextInput.Password";
  const std::string key = "fc-" + std::string(4000, 'k');
  click("mcp-firecrawl");
  type("mcp-key-firecrawl", QString::fromStdString("  " + key + "  "));
  click("add-mcp");
  ASSERT_TRUE(engineFlow().pendingInstall());
  EXPECT_EQ(engineFlow().pendingInstall()->remediations.at(0).apiKey, key);
  EXPECT_THAT(tracker->typedValues, ElementsAre(key));

  // Git: the identity, then the GitHub CLI and the sign-in.
  show("git");
  EXPECT_FALSE(shown("git-setup")->property("enabled").toBool());
  type("git-name", "Ada \"The Countess\"\nLovelace");
  type("git-email", " ada@example.com ");
  click("git-setup");
  ASSERT_TRUE(engineFlow().pendingInstall());
  const auto& git = engineFlow().pendingInstall()->remediations;
  ASSERT_EQ(git.size(), 3u);
  EXPECT_EQ(git[0], SetupRemediation::configureGit("Ada \"The Countess\" Lovelace", "ada@example.com"));
  EXPECT_EQ(git[1].kind, Kind::installGh);
  EXPECT_EQ(git[2].kind, Kind::githubAuth);
  EXPECT_EQ(tracker->typedValues.back(), "ada@example.com");
  for (const auto& event : tracker->recorded.events()) {
    const std::string data = encodeJSON(JSONValue(event.data));
    EXPECT_EQ(data.find("fc-kkk"), std::string::npos) << event.name;
  }
}

// The Warp stage is an offer: shown once, and skipping it is its dismissal.
TEST_F(WorkflowScreens, TheWarpOfferIsReportedWhenShownAndWhenDismissed) {
  profile = readyMac();
  profile.terminals.warp = false;
  *prober->bundle = brewProbes();
  openWorkflow();
  step("diagnosis-continue", "stage-warp");
  const auto shownOffer = tracker->recorded.named("offer_shown");
  ASSERT_EQ(shownOffer.size(), 1u);
  EXPECT_EQ(shownOffer[0].data.at("offer_id"), JSONValue("warp"));
  EXPECT_EQ(text("stage-action-caption"), "We'll install Warp via Homebrew, the fast terminal Quillora recommends.");
  step("stage-skip", "stage-python");
  const auto acted = tracker->recorded.named("offer_action");
  ASSERT_EQ(acted.size(), 1u);
  EXPECT_EQ(acted[0].data.at("action"), JSONValue("dismissed"));
}

// When another tool keeps the python command, the outcome says so.
TEST_F(WorkflowScreens, TheOutcomeNamesTheToolThatStillControlsPython) {
  profile = readyMac();
  SetupProbeBundle probes = pyenvProbes();
  probes.installedPrimaryToolLocations = brewProbes().installedPrimaryToolLocations;
  probes.pathVisiblePrimaryTools = brewProbes().pathVisiblePrimaryTools;
  probes.versionExitCode = 0;
  probes.shellConfigured = true;
  *prober->bundle = probes;
  openWorkflow();
  step("diagnosis-continue", "competing-owner-screen");
  step("competing-owner-continue", "stage-python");
  step("stage-skip", "stage-python-project");
  step("stage-skip", "keep-going-screen");
  step("finish-here", "outcome-screen");
  EXPECT_EQ(text("outcome-limitation"),
            "pyenv still controls the python command on this Mac. Your projects work with uv run and uv add. To "
            "change which Python runs by default, see pyenv's own instructions.");
}

// The outcome's buttons: an application opens each time and is reported once;
// the example project made in this run is shown in the file browser.
TEST_F(WorkflowScreens, TheOutcomeOpensApplicationsAndShowsTheExampleProject) {
  profile = readyMac();
  profile.aiTooling.warpApp = true;
  *prober->bundle = readyProbes();
  fs->createDirectory("/Applications/Warp.app", true);
  openWorkflow();
  step("diagnosis-continue", "stage-python-project");
  click("create-project");
  reportInstall("success");
  ASSERT_TRUE(waitShown("keep-going-screen"));
  step("finish-here", "outcome-screen");
  EXPECT_EQ(text("open-Warp"), "Open Warp");
  click("open-Warp");
  click("open-Warp");
  EXPECT_THAT(platform.openedApps, ElementsAre("/Applications/Warp.app", "/Applications/Warp.app"));
  const auto opened = tracker->recorded.named("app_opened");
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].data.at("app"), JSONValue("Warp"));

  click("show-example-projects");
  EXPECT_THAT(platform.revealed, ElementsAre("/Users/alice/Documents/Python-Example-Project"));
}

}  // namespace
}  // namespace bnch::ui
