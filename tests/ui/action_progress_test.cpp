// The progress screen, offscreen: an approved action runs through a scripted
// runner, shows its output, and reports back to the flow model when the
// person presses Cancel or Continue.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

#include "engine/product/python_product.h"
#include "engine/workflow/setup_workflow.h"
#include "tests/support/memory_key_value_store.h"
#include "tests/support/recording_usage_event_tracker.h"
#include "tests/support/scripted_remediation_runner.h"
#include "tests/ui/screen_fixture.h"
#include "ui/flow_model.h"
#include "ui/qt_executor.h"
#include "ui/root_model.h"

namespace bnch::ui {
namespace {

using ::testing::ElementsAre;
using testing::MemoryKeyValueStore;
using testing::RecordingUsageEventTracker;
using testing::ScriptedRemediationRunner;

class ProgressScreen : public ::testing::Test {
 protected:
  ActionProgressDependencies dependencies(RunStreamKeepAlive keepAlive = RunStreamKeepAlive::progressScreen()) {
    return {.services = services,
            .tracker = tracker,
            .attempts = attempts,
            .lifecycle = &lifecycle,
            .platform = &platform,
            .executor = executor,
            .makeRunner = [this](const SystemProfile&) { return runner; },
            .keepAlive = std::move(keepAlive)};
  }

  void SetUp() override {
    // A fresh Mac in fixture mode, the experience already answered: the run goes
    // from the diagnosis to the first stage, the Command Line Tools.
    store->set(StoredValue{std::string("learning")}, pythonProduct().defaultsKey(".experience_bucket"));
    SystemProfile fresh;
    fresh.architecture = Architecture::appleSilicon;
    fresh.macosVersion = {15, 1, 0};
    root = std::make_unique<RootModel>(
        RootDependencies{.services = services,
                         .config = pythonProduct(),
                         .tracker = tracker,
                         .onceOnly = std::make_shared<OnceOnlyEvents>(),
                         .lifecycle = &lifecycle,
                         .executor = executor,
                         .platform = &platform,
                         .remediationRunner = [this](const SystemProfile&) { return runner; }});
    flow.reset(new FlowModel(std::make_unique<SetupFlowModel>(services, pythonProduct(), tracker, executor,
                                                              std::make_shared<OnceOnlyEvents>()),
                             fresh));
    flow->enableActionProgress(dependencies());
    flow->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return flow->stepKind() == "diagnosisSummary"; }, 3000))
        << flow->stepKind().toStdString();
    flow->continueFromDiagnosis();
    ASSERT_TRUE(QTest::qWaitFor([&] { return flow->stepName() == "clt"; }, 3000)) << flow->stepKind().toStdString();
    for (const auto& step : flow->engineModel().workflow()->steps) {
      if (step.stage->domainID() == "clt") action = step.stage->actions().front();
    }
  }

  void TearDown() override {
    view.reset();
    flow.reset();
  }

  // Approves the stage's action and shows the progress screen, as the workflow screen's loader does.
  void approve() {
    ASSERT_TRUE(flow->approveInstall("clt", QString::fromStdString(action.id)));
    ASSERT_NE(flow->actionProgress(), nullptr);
    view.reset();
    QQmlComponent component(&engine, QUrl("qrc:/Benchkit/SetupActionProgressView.qml"));
    view.reset(qobject_cast<QQuickItem*>(
        component.createWithInitialProperties({{"progress", QVariant::fromValue(flow->actionProgress())}})));
    ASSERT_NE(view, nullptr) << component.errorString().toStdString();
    view->setParentItem(window.contentItem());
    view->setSize({720, 700});
    window.resize(720, 700);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  }

  QQuickItem* shown(const QString& name, QQuickItem* item = nullptr) {
    item = item ? item : view.get();
    if (!item || !item->isVisible()) return nullptr;
    if (item->objectName() == name) return item;
    for (QQuickItem* child : item->childItems()) {
      if (QQuickItem* found = shown(name, child)) return found;
    }
    return nullptr;
  }
  void click(const QString& name) {
    QQuickItem* item = shown(name);
    ASSERT_NE(item, nullptr) << name.toStdString();
    const QPointF centre = item->mapToScene({item->width() / 2, item->height() / 2});
    QTest::mouseClick(&window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
  }
  std::vector<std::int64_t> attemptsSent() const {
    std::vector<std::int64_t> numbers;
    for (const auto& event : tracker->named("remediation_applied")) {
      numbers.push_back(std::get<std::int64_t>(event.data.at("attempt").value));
    }
    return numbers;
  }

  std::shared_ptr<MemoryKeyValueStore> store = std::make_shared<MemoryKeyValueStore>();
  AppServices services{nullptr, nullptr, nullptr, store, true};
  std::shared_ptr<RecordingUsageEventTracker> tracker = std::make_shared<RecordingUsageEventTracker>();
  std::shared_ptr<ScriptedRemediationRunner> runner = std::make_shared<ScriptedRemediationRunner>();
  std::shared_ptr<RemediationAttempts> attempts = std::make_shared<RemediationAttempts>();
  std::shared_ptr<QtExecutor> executor = std::make_shared<QtExecutor>();
  ScriptedPlatform platform;
  RunLifecycle lifecycle{store, *tracker};
  std::unique_ptr<RootModel> root;
  std::unique_ptr<FlowModel> flow;
  SetupAction action;
  QQmlEngine engine;
  QQuickWindow window;
  std::unique_ptr<QQuickItem> view;
};

TEST_F(ProgressScreen, ApprovingShowsTheInstallRunningAndCancelEndsItAtOnce) {
  runner->script("clt", {{RemediationEvent::output("Checking with Apple for the Command Line Tools…")}, true});
  approve();
  EXPECT_EQ(shown("setup-action-title")->property("text").toString().toStdString(), action.displayLabel);
  EXPECT_EQ(shown("setup-action-status")->property("text").toString(),
            "Working… this can take a minute — please keep this window open.");
  EXPECT_NE(shown("setup-action-progress"), nullptr);
  EXPECT_EQ(shown("setup-action-continue"), nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return flow->actionProgress()->rowCount() == 1; }, 3000));
  EXPECT_EQ(flow->actionProgress()->data(flow->actionProgress()->index(0), ActionProgressModel::TextRole),
            "Checking with Apple for the Command Line Tools…");

  // Quitting now is refused with the alert.
  EXPECT_EQ(lifecycle.inFlightCount(), 1);
  EXPECT_FALSE(root->quitMayProceed());
  ASSERT_EQ(platform.alerts.size(), 1u);
  EXPECT_EQ(platform.alerts[0].message, "An install is still running");

  click("setup-action-cancel");
  EXPECT_EQ(flow->actionProgress(), nullptr) << "the screen closes at once, without waiting for the install";
  EXPECT_EQ(flow->stepName(), "clt");
  ASSERT_TRUE(QTest::qWaitFor([&] { return lifecycle.inFlightCount() == 0; }, 3000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return runner->cancellations() == 1; }, 3000)) << "the install is stopped";
  ASSERT_TRUE(QTest::qWaitFor([&] { return tracker->named("remediation_canceled").size() == 1; }, 3000));
  EXPECT_EQ(tracker->named("remediation_applied").size(), 1u);
  EXPECT_TRUE(root->quitMayProceed());
}

TEST_F(ProgressScreen, TryingAgainTwiceReportsAttemptThreeAndEachFailureReachesTheStage) {
  runner->script("clt", {{RemediationEvent::output("softwareupdate: no updates"), RemediationEvent::completed(1)}});
  for (int round = 0; round < 3; ++round) {
    approve();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown("setup-action-continue") != nullptr; }, 3000));
    EXPECT_EQ(shown("setup-action-cancel"), nullptr);
    EXPECT_EQ(shown("setup-action-status")->property("text").toString(), "That step didn't finish.")
        << "the ending is told before Continue";
    EXPECT_EQ(shown("setup-action-result-icon")->property("text").toString(), "⚠");
    EXPECT_EQ(shown("setup-action-progress"), nullptr);
    click("setup-action-continue");
    ASSERT_EQ(flow->actionProgress(), nullptr);
    EXPECT_EQ(flow->engineModel().failedStageErrors().at("clt"), "softwareupdate: no updates");
  }
  EXPECT_THAT(attemptsSent(), ElementsAre(1, 2, 3));
  EXPECT_EQ(tracker->named("remediation_failed").size(), 3u);
  EXPECT_EQ(lifecycle.inFlightCount(), 0);
}

TEST_F(ProgressScreen, ABrowserThatCannotOpenIsExplainedAndHeartbeatsAreQuieterThanOutput) {
  platform.browserWorks = false;
  RunStreamKeepAlive quick;
  quick.heartbeat = 0.05;
  quick.tick = 0.01;
  quick.timeout = 0;
  flow->enableActionProgress(dependencies(quick));
  runner->script("clt", {{RemediationEvent::openBrowser("https://github.com/login/device", std::nullopt)}, true});
  approve();
  ActionProgressModel* progress = flow->actionProgress();
  ASSERT_TRUE(QTest::qWaitFor([&] { return progress->rowCount() >= 2; }, 3000));
  EXPECT_EQ(progress->data(progress->index(0), ActionProgressModel::TextRole),
            "Opened your browser — follow the GitHub sign-in there.");
  EXPECT_FALSE(progress->data(progress->index(0), ActionProgressModel::QuietRole).toBool());
  EXPECT_TRUE(progress->data(progress->index(1), ActionProgressModel::QuietRole).toBool()) << "a heartbeat";
  ASSERT_EQ(platform.alerts.size(), 1u);
  EXPECT_EQ(platform.alerts[0].message, "Couldn't open the browser");
  EXPECT_TRUE(platform.alerts[0].informativeText.contains("https://github.com/login/device"));
  EXPECT_EQ(shown("setup-action-code"), nullptr) << "no code, no code box";
  click("setup-action-cancel");
  EXPECT_EQ(flow->actionProgress(), nullptr);
}

TEST_F(ProgressScreen, AFloodOfOutputAndAHugeLineStayBoundedOnScreenAndWholeInTheLines) {
  std::vector<RemediationEvent> events;
  for (int i = 0; i < 100'000; ++i) events.push_back(RemediationEvent::output("line " + std::to_string(i)));
  events.push_back(RemediationEvent::output(std::string(10 << 20, 'x')));
  events.push_back(RemediationEvent::openBrowser("https://github.com/login/device", "WXYZ-1234"));
  events.push_back(RemediationEvent::completed(0));
  runner->script("clt", {events});
  approve();
  ASSERT_TRUE(QTest::qWaitFor([&] { return shown("setup-action-continue") != nullptr; }, 60000));
  ActionProgressModel* progress = flow->actionProgress();
  EXPECT_EQ(progress->lineCount(), 100'002);
  EXPECT_EQ(progress->lines()[100'000].size(), std::size_t{10 << 20}) << "kept whole";
  EXPECT_EQ(progress->rowCount(), ActionProgressModel::displayLineLimit);
  const QString huge =
      progress->data(progress->index(progress->rowCount() - 2), ActionProgressModel::TextRole).toString();
  EXPECT_EQ(huge.size(), ActionProgressModel::displayCharacterLimit + 1) << "shown cut, with an ellipsis";
  EXPECT_THAT(platform.clipboard, ElementsAre("WXYZ-1234"));
  EXPECT_THAT(platform.openedURLs, ElementsAre("https://github.com/login/device"));

  // The code stays in view above the log, with its own copy button, and the
  // ending reads as a success.
  ASSERT_NE(shown("setup-action-code"), nullptr);
  EXPECT_EQ(shown("setup-action-code")->property("command").toString(), "WXYZ-1234");
  click("setup-action-code-copy");
  EXPECT_THAT(platform.clipboard, ElementsAre("WXYZ-1234", "WXYZ-1234"));
  EXPECT_EQ(shown("setup-action-status")->property("text").toString(), "Done.");
  EXPECT_EQ(shown("setup-action-result-icon")->property("text").toString(), "✓");
  click("setup-action-continue");
  EXPECT_EQ(flow->actionProgress(), nullptr);
  EXPECT_EQ(tracker->named("remediation_completed").size(), 1u);
}

}  // namespace
}  // namespace bnch::ui
