// The first screens, driven through the real QML by objectName, offscreen.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QtQml/qqmlextensionplugin.h>
#include <QAbstractItemModelTester>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <atomic>
#include <future>

#include "engine/product/python_product.h"
#include "engine/workflow/product_config.h"
#include "tests/support/memory_key_value_store.h"
#include "tests/support/recording_usage_event_tracker.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/scripted_process_runner.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/screen_fixture.h"
#include "ui/flow_model.h"
#include "ui/qt_executor.h"
#include "ui/qt_platform_services.h"
#include "ui/root_model.h"

Q_IMPORT_QML_PLUGIN(BenchkitPlugin)

namespace bnch::ui {
namespace {

using ::testing::ElementsAre;

TEST_F(Screens, FirstLaunchAsksConsentStoresItFirstThenWelcomesAndReportsTheLaunch) {
  launch();
  ASSERT_TRUE(waitShown("consent-screen"));
  EXPECT_EQ(shown("welcome-screen"), nullptr);
  EXPECT_EQ(text("consent-headline"), "Welcome to Benchkit for Python");
  EXPECT_EQ(profiles, 0) << "nothing is profiled before consent";
  EXPECT_TRUE(tracker->recorded.names().empty());

  click("consent-continue");
  EXPECT_TRUE(std::get<bool>(*std::static_pointer_cast<MemoryKeyValueStore>(store)->value(consentKey)));
  EXPECT_THAT(tracker->flagStoredAtConsentEvent, ElementsAre(true));
  ASSERT_TRUE(waitShown("welcome-screen"));
  EXPECT_EQ(text("welcome-title"), "Set up Python on your Mac");
  EXPECT_EQ(text("welcome-diagnose-button"), "Check my setup");
  ASSERT_TRUE(QTest::qWaitFor([&] { return tracker->recorded.named("app_launched").size() == 1; }, 3000));
  EXPECT_EQ(profiles, 1);
  EXPECT_EQ(store->string(RunLifecycle::runInProgressKey), "aaaaaaaa-bbbb-4ccc-8ddd-eeeeeeeeeeee");
}

TEST_F(Screens, SecondLaunchGoesStraightToWelcome) {
  launchConsented();
  EXPECT_EQ(shown("consent-screen"), nullptr);
  EXPECT_EQ(window->title(), "Benchkit for Python");
}

TEST_F(Screens, TextsTwiceAsLongWrapInsideTheSmallestWindow) {
  auto twice = [](std::string text) { return text + " " + text; };
  config.copy.welcomeHeadline = twice(*config.copy.welcomeHeadline);
  config.copy.welcomeExplainer = twice(config.copy.welcomeExplainer);
  config.copy.primaryCTA = twice(config.copy.primaryCTA);
  launchConsented();
  window->resize(720, 700);
  QTest::qWait(100);  // the layouts settle on the next frames
  const qreal single = QFontMetricsF(shown("welcome-title")->property("font").value<QFont>()).height();
  for (const char* name : {"welcome-title", "welcome-explainer", "welcome-diagnose-button"}) {
    QQuickItem* item = shown(name);
    const QRectF box = item->mapRectToScene(item->boundingRect());
    EXPECT_TRUE(QRectF(0, 0, 720, 700).contains(box))
        << name << " is cut off: " << box.x() << "," << box.y() << " " << box.width() << "x" << box.height();
  }
  EXPECT_GT(shown("welcome-title")->height(), 1.5 * single) << "the headline wraps";
}

TEST_F(Screens, AConsentThatCannotBeStoredStillLetsThePersonIn) {
  launch(std::make_shared<ReadOnlyStore>());
  click("consent-continue");
  EXPECT_TRUE(waitShown("welcome-screen"));
  EXPECT_EQ(tracker->recorded.named("consent_given").size(), 1u);
}

TEST_F(Screens, ThePrivacyLinkOpensTheBrowserAndABrowserThatFailsIsExplained) {
  platform.browserWorks = false;
  launch();
  click("consent-privacy-link");
  ASSERT_EQ(platform.openedURLs.size(), 1u);
  EXPECT_EQ(platform.openedURLs[0].toStdString(), pythonProduct().urls.privacy);
  ASSERT_EQ(platform.alerts.size(), 1u);
  EXPECT_EQ(platform.alerts[0].message, "Couldn't open the browser");
  EXPECT_TRUE(platform.alerts[0].informativeText.contains(platform.openedURLs[0]));
  EXPECT_TRUE(shown("consent-screen"));
}

TEST_F(Screens, ASlowProfileBlocksNothingAndIsTakenOnceAcrossAppearances) {
  makeProfileSlow();
  launchConsented();
  // The stack is shown again while the first profile is still running.
  root->stackAppeared();
  EXPECT_FALSE(root->hasProfile());
  EXPECT_TRUE(tracker->recorded.names().empty()) << "the lifecycle hears of the appearance once profiled";
  // The window answers meanwhile.
  click("welcome-diagnose-button");
  EXPECT_EQ(root->navigation()->currentScreenName(), "setup_workflow");

  releaseTheProfile();
  ASSERT_TRUE(QTest::qWaitFor([&] { return tracker->recorded.names().size() == 2; }, 3000));
  EXPECT_THAT(tracker->recorded.names(), ElementsAre("app_launched", "app_reopened"));
  root->stackAppeared();
  EXPECT_THAT(tracker->recorded.names(), ElementsAre("app_launched", "app_reopened", "app_reopened"));
  EXPECT_EQ(profiles, 1);
  EXPECT_EQ(tracker->recorded.named("app_reopened").back().data.at("last_screen"), JSONValue("setup_workflow"));
}

TEST_F(Screens, AQuitDuringTheFirstProfileReportsNoLaunchAfterwards) {
  makeProfileSlow();
  launchConsented();
  root->willTerminate();
  releaseTheProfile();
  ASSERT_TRUE(QTest::qWaitFor([&] { return root->hasProfile(); }, 3000));
  QTest::qWait(20);
  EXPECT_TRUE(tracker->recorded.names().empty());
  EXPECT_EQ(store->string(RunLifecycle::runInProgressKey), std::nullopt) << "no run was started, none is left open";
}

TEST_F(Screens, TheWelcomeButtonAsksTheExperienceQuestionThenDiagnosesAndBackLeadsHome) {
  launchConsented();
  EXPECT_EQ(root->navigation()->currentScreenName(), "welcome");

  QTest::keyClick(window, Qt::Key_Return);  // the primary action
  EXPECT_EQ(root->navigation()->currentScreenName(), "setup_workflow");
  ASSERT_TRUE(waitShown("experience-screen"));
  EXPECT_EQ(window->title(), "Your experience");
  EXPECT_EQ(text("experience-headline"), "What's your experience level?");
  for (const char* bucket : {"experience-never-coded", "experience-learning", "experience-some-experience",
                             "experience-very-experienced", "experience-skip"}) {
    EXPECT_NE(shown(bucket), nullptr) << bucket;
  }

  click("experience-learning");
  EXPECT_EQ(store->string(pythonProduct().defaultsKey(".experience_bucket")), "learning");
  auto answered = tracker->recorded.named("experience_bucket");
  ASSERT_EQ(answered.size(), 1u);
  EXPECT_EQ(answered[0].data.at("bucket"), JSONValue("learning"));
  ASSERT_TRUE(waitShown("diagnosis-screen"));

  root->navigation()->clear();
  EXPECT_TRUE(waitShown("welcome-screen"));
  EXPECT_EQ(root->navigation()->currentScreenName(), "welcome");
  EXPECT_EQ(currentScreenName(QPointer<NavigationModel>()), "welcome");
}

TEST_F(Screens, SkippingTheQuestionHandsOverTheSkipValue) {
  launchConsented();
  click("welcome-diagnose-button");
  ASSERT_TRUE(waitShown("experience-skip"));
  click("experience-skip");
  EXPECT_EQ(store->string(pythonProduct().defaultsKey(".experience_bucket")), "some-experience");
  EXPECT_TRUE(store->boolean(pythonProduct().defaultsKey(".experience_skipped")));
}

TEST_F(Screens, QuitAndCloseAreRefusedWithTheAlertWhileAnInstallRuns) {
  launchConsented();
  ASSERT_TRUE(QTest::qWaitFor([&] { return lifecycle->observersRegistered(); }, 3000));
  root->installQuitGuard(QCoreApplication::instance());
  lifecycle->beginInstall();

  QEvent quit(QEvent::Quit);
  EXPECT_TRUE(QCoreApplication::sendEvent(QCoreApplication::instance(), &quit)) << "the quit is filtered out";
  EXPECT_FALSE(window->close());
  EXPECT_TRUE(window->isVisible());
  ASSERT_EQ(platform.alerts.size(), 2u);
  EXPECT_EQ(platform.alerts[0], (Alert{"An install is still running",
                                       "Let it finish before quitting — stopping now could leave the install "
                                       "half-done.",
                                       "OK"}));
  EXPECT_TRUE(tracker->recorded.named("app_quit").empty());
  EXPECT_TRUE(tracker->recorded.named("window_closed").empty());

  // The window shows the alert as a modal dialog that its button dismisses.
  root->presentAlert(platform.alerts[0]);
  ASSERT_TRUE(waitShown("alert-ok"));
  EXPECT_EQ(text("alert-message"), "An install is still running");
  click("alert-ok");
  EXPECT_TRUE(QTest::qWaitFor([&] { return shown("alert-ok") == nullptr; }, 3000));

  lifecycle->endInstall();
  EXPECT_TRUE(root->quitMayProceed());
  EXPECT_TRUE(root->windowMayClose());
  EXPECT_EQ(tracker->recorded.named("window_closed").size(), 1u);
  QCoreApplication::instance()->removeEventFilter(root.get());
}

TEST_F(Screens, TheFolderChooserOpensOverTheWindowAndACancelAnswersNothing) {
  launch();
  QtPlatformServices live;
  live.setWindow(engine.get(), window);
  std::optional<std::optional<QString>> answer;
  live.chooseFolder("Choose a folder", [&](std::optional<QString> folder) { answer = folder; });
  QObject* dialog = window->findChild<QObject*>("folder-chooser");
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->property("visible").toBool(); }, 3000));
  EXPECT_EQ(dialog->property("acceptLabel").toString(), "Choose");
  QMetaObject::invokeMethod(dialog, "reject");
  ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 3000));
  EXPECT_EQ(*answer, std::nullopt);
}

TEST(QtExecutorTest, RunsWorkOffTheGuiThreadAndHandsResultsBackToIt) {
  auto executor = std::make_unique<QtExecutor>();
  std::atomic<bool> backgroundOnGui = true;
  std::atomic<int> finished = 0;
  QThread* mainThread = nullptr;
  for (int i = 0; i < 3; ++i) {
    executor->background([&, raw = executor.get()] {
      backgroundOnGui = QThread::currentThread() == qApp->thread();
      raw->main([&] {
        mainThread = QThread::currentThread();
        ++finished;
      });
    });
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 3; }, 3000));
  EXPECT_FALSE(backgroundOnGui);
  EXPECT_EQ(mainThread, qApp->thread());

  // Destroying the executor waits for work in flight; what it hands back then is dropped.
  std::atomic<bool> ran = false;
  executor->background([&, raw = executor.get()] {
    QThread::msleep(50);
    raw->main([&] { ran = true; });
  });
  executor.reset();
  QTest::qWait(20);
  EXPECT_FALSE(ran);

  // Work that holds the last reference ends without waiting for itself.
  std::atomic<bool> released = false;
  auto shared = std::make_shared<QtExecutor>();
  shared->background([&, held = shared]() mutable {
    QThread::msleep(20);
    held.reset();
    released = true;
  });
  shared.reset();
  EXPECT_TRUE(QTest::qWaitFor([&] { return released.load(); }, 3000));
}

TEST(ListModels, KeepTheItemModelContract) {
  NavigationModel navigation;
  QAbstractItemModelTester navigationTester(&navigation, QAbstractItemModelTester::FailureReportingMode::Fatal);
  QSignalSpy changed(&navigation, &NavigationModel::pathChanged);
  navigation.push(Screen{Screen::Kind::setupWorkflow});
  navigation.push(Screen{Screen::Kind::contentOffer, "python_course"});
  EXPECT_EQ(navigation.currentScreenName(), "content_offer");
  EXPECT_EQ(navigation.data(navigation.index(1), NavigationModel::OfferIDRole).toString(), "python_course");
  navigation.pop();
  EXPECT_EQ(navigation.currentScreenName(), "setup_workflow");
  navigation.clear();
  navigation.clear();
  navigation.pop();
  EXPECT_EQ(navigation.currentScreenName(), "welcome");
  EXPECT_EQ(changed.count(), 4);

  ExperienceBucketModel buckets(ExperienceQuestionCopy::shared().buckets);
  QAbstractItemModelTester bucketTester(&buckets, QAbstractItemModelTester::FailureReportingMode::Fatal);
  EXPECT_EQ(buckets.rowCount(), 4);
  EXPECT_EQ(buckets.data(buckets.index(0), ExperienceBucketModel::ValueRole).toString(), "never-coded");
}

}  // namespace
}  // namespace bnch::ui

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")) qputenv("QT_QUICK_BACKEND", "software");
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
