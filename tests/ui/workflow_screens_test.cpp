// The setup workflow's screens, driven through the real QML by objectName with
// a scripted Mac: each step's texts and controls, the failure ramp, the
// special stages' installs, the outcome and the satisfaction card.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <map>

#include "engine/remediation/homebrew_installer.h"
#include "tests/ui/screen_fixture.h"
#include "ui/flow_model.h"

namespace bnch::ui {
namespace {

using ::testing::ElementsAre;
using Kind = SetupRemediation::Kind;

SystemProfile freshMac() {
  SystemProfile profile;
  profile.architecture = Architecture::appleSilicon;
  profile.macosVersion = {15, 1, 0};
  profile.shell = Shell::zsh();
  return profile;
}

SystemProfile readyMac() {
  SystemProfile profile = freshMac();
  profile.xcodeCommandLineToolsPath = "/Library/Developer/CommandLineTools";
  profile.homebrewPrefix = "/opt/homebrew/bin/brew";
  profile.terminals.warp = true;
  return profile;
}

SetupProbeBundle freshProbes() {
  SetupProbeBundle probes;
  probes.pythonInventory = PythonInventory{{}, "/Users/alice"};
  probes.pythonPathVerdict = PythonPathVerdict{};
  return probes;
}

// Homebrew installed and found; Python not yet set up.
SetupProbeBundle brewProbes() {
  SetupProbeBundle probes = freshProbes();
  probes.installedPrimaryToolLocations = {"/opt/homebrew/bin/brew"};
  probes.pathVisiblePrimaryTools = {"/opt/homebrew/bin/brew"};
  probes.versionExitCode = 0;
  probes.shellConfigured = true;
  return probes;
}

SetupProbeBundle readyProbes() {
  SetupProbeBundle probes = brewProbes();
  const PythonInstall uv{PythonInstall::Origin::uv(),
                         "/Users/alice/.local/share/uv/python/cpython-3.12.4-macos-aarch64-none/bin/python3", "3.12.4"};
  probes.pythonInventory = PythonInventory{{uv}, "/Users/alice"};
  probes.pythonPathVerdict->python3.resolvedPath = uv.path;
  return probes;
}

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
  result.verifiedItems = {"uv", "python", "project", "package_installs"};
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
      {"loading", [](WorkflowScreens& t) {
         t.makeProfileSlow();
         t.openWorkflow("workflow-loading");
       },
       "Benchkit for Python", {{"workflow-loading-headline", "Checking your Mac…"}}, {"workflow-loading-indicator"}, {}},
      {"diagnosis summary", [](WorkflowScreens& t) { t.openWorkflow(); }, "Diagnosis",
       {{"diagnosis-headline", "Here's what the system check found"},
        {"diagnosis-line-clt", "Command Line Tools: not installed"},
        {"diagnosis-continue", "Continue"},
        {"diagnosis-footer", "Nothing changes on your Mac without your okay."},
        {"diagnosis-evidence-note", "Continuing will install and properly configure Python using the uv utility."}},
       {"diagnosis-line-shell-config", "diagnosis-line-homebrew", "diagnosis-line-python", "diagnosis-evidence"},
       {"diagnosis-line-warp"}},
      {"readiness warning", [](WorkflowScreens& t) {
         t.profile.macosVersion = {13, 6, 0};
         t.openWorkflow();
         t.step("diagnosis-continue", "readiness-screen");
       },
       "Your macOS version",
       {{"readiness-headline", "This Mac is running an older macOS"},
        {"readiness-continue", "Continue anyway"},
        {"readiness-stop", "Stop and update macOS"}},
       {}, {}},
      {"competing owner", [](WorkflowScreens& t) {
         *t.prober->bundle = pyenvProbes();
         t.openWorkflow();
         t.step("diagnosis-continue", "competing-owner-screen");
       },
       "Python setup",
       {{"competing-owner-headline", "Something else manages Python"},
        {"competing-owner-uninstall", "How to uninstall Python"},
        {"competing-owner-cancel", "Cancel and quit"},
        {"competing-owner-continue", "Continue and install Python with uv"}},
       {}, {}},
      {"ordinary stage", [](WorkflowScreens& t) {
         t.openWorkflow();
         t.step("diagnosis-continue", "stage-clt");
       },
       "Command Line Tools",
       {{"stage-headline", "Install the Command Line Tools"}, {"clt", "Install Command Line Tools"}, {"stage-skip", "Skip"}},
       {}, {"failure-ramp", "install-homebrew-first"}},
      {"Homebrew first", onStage("ai-claude", freshMac(), freshProbes()), "Claude",
       {{"homebrew-first-note",
         "This step installs with Homebrew, which isn't installed yet. Install Homebrew first, or skip."},
        {"install-homebrew-first", "Install Homebrew first"},
        {"stage-skip", "Skip"}},
       {}, {"install-claude-desktop"}},
      {"applications to tick", onStage("ai-claude", readyMac(), brewProbes()), "Claude",
       {{"special-title", "Install Claude"},
        {"install-claude-desktop", "Claude Desktop"},
        {"install-claude-cli", "Claude Code CLI"},
        {"install-selected", "Install selected"}},
       {}, {"install-homebrew-first"}},
      {"languages", onStage("languages", readyMac(), brewProbes()), "Languages",
       {{"special-title", "Install languages"},
        {"lang-node", "JavaScript (Node)"},
        {"lang-java", "Java (requires macOS password)"},
        {"install-languages", "Install selected languages"}},
       {"lang-python", "lang-ruby", "lang-rust"}, {"refresh-brew-index"}},
      {"project", onStage("project", readyMac(), brewProbes()), "Starter Project",
       {{"special-title", "Set up a project"},
        {"create-project", "Install in Documents"},
        {"choose-project-folder", "Choose my folder…"}},
       {}, {}},
      {"skills", onStage("skills", readyMac(), brewProbes()), "Skills",
       {{"skill-avoid-ai-writing", "Avoid AI writing"}, {"add-skills", "Add selected"}}, {"skill-downloads-cleanup"}, {}},
      {"MCP servers", onStage("mcp", readyMac(), brewProbes()), "MCP Servers",
       {{"mcp-firecrawl", "Firecrawl"}, {"add-mcp", "Add selected"}}, {"mcp-key-firecrawl", "mcp-notion"},
       {"mcp-key-notion"}},
      {"Git", onStage("git", readyMac(), brewProbes()), "Git",
       {{"special-title", "Set up Git with GitHub"}, {"git-setup", "Set up Git"}}, {"git-name", "git-email"},
       {"git-identity-set"}},
      {"failure ramp", [](WorkflowScreens& t) {
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
       {}, {"stage-skip", "clt"}},
      {"verifying", [](WorkflowScreens& t) {
         t.holdVerification();
         t.profile = readyMac();
         *t.prober->bundle = readyProbes();
         t.openWorkflow();
         t.step("diagnosis-continue", "workflow-verifying");
       },
       "Done", {{"workflow-verifying-headline", "Checking that Python works…"}}, {"workflow-verifying-indicator"}, {}},
      {"keep-going gate", [](WorkflowScreens& t) {
         t.profile = readyMac();
         *t.prober->bundle = readyProbes();
         t.openWorkflow();
         t.step("diagnosis-continue", "stage-python-project");
         t.step("stage-skip", "keep-going-screen");
       },
       "Ready for more?",
       {{"keep-going-headline", "Python is ready"}, {"keep-going", "Keep going"}, {"finish-here", "Finish here"}}, {},
       {}},
      {"outcome", [](WorkflowScreens& t) { t.reachOutcome(); }, "Done",
       {{"outcome-headline", "Your Python is ready"},
        {"outcome-body", "Python is installed and can install packages"},
        {"outcome-question", "Did this pretty much complete what you came to do?"},
        {"outcome-resolved", "Yes, all set"},
        {"outcome-blocked", "Not quite"}},
       {"outcome-checklist"}, {"outcome-limitation", "show-example-projects", "outcome-agent-suggestion"}},
      {"satisfaction", [](WorkflowScreens& t) {
         t.reachOutcome();
         t.step("outcome-resolved", "satisfaction-screen");
       },
       "One last question",
       {{"satisfaction-headline", "We need your feedback"},
        {"satisfaction-dismiss", "Dismiss"},
        {"satisfaction-score-0", "0"},
        {"satisfaction-score-10", "10"},
        {"satisfaction-done", "Done"}},
       {"satisfaction-card"}, {"satisfaction-submit"}},
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

}  // namespace
}  // namespace bnch::ui
