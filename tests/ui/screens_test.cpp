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
#include "ui/flow_model.h"
#include "ui/qt_executor.h"
#include "ui/qt_platform_services.h"
#include "ui/root_model.h"

Q_IMPORT_QML_PLUGIN(BenchkitPlugin)

namespace bnch::ui {
namespace {

using ::testing::ElementsAre;
using testing::MemoryKeyValueStore;
using testing::RecordingUsageEventTracker;
using testing::RootedFileSystem;
using testing::ScriptedProcessRunner;
using testing::TempDir;

const std::string consentKey = pythonProduct().defaultsKey(".consented");

// Records what the screens ask of the desktop; `browserWorks` false makes
// every URL fail to open.
struct ScriptedPlatform final : PlatformServices {
  std::vector<QString> openedURLs;
  std::vector<Alert> alerts;
  bool browserWorks = true;

  bool openURL(const QString& url) override {
    openedURLs.push_back(url);
    return browserWorks;
  }
  void copyToClipboard(const QString&) override {}
  void showAlert(const Alert& alert) override { alerts.push_back(alert); }
  void chooseFolder(const QString&, std::function<void(std::optional<QString>)> done) override { done({}); }
  bool revealFolder(const QString&) override { return true; }
  bool openApplication(const QString&) override { return true; }
};

// A store that loses every write, as a user-defaults store that cannot be saved.
struct ReadOnlyStore final : KeyValueStoring {
  std::optional<std::string> string(const std::string&) const override { return std::nullopt; }
  bool boolean(const std::string&) const override { return false; }
  void set(const std::optional<StoredValue>&, const std::string&) override {}
};

// Notes, for each "consent_given", whether the consent flag was already stored.
struct OrderCheckingTracker final : UsageEventTracking {
  std::shared_ptr<KeyValueStoring> store;
  RecordingUsageEventTracker recorded;
  std::vector<bool> flagStoredAtConsentEvent;
  void track(const std::string& name, JSONObject data) override {
    if (name == "consent_given") flagStoredAtConsentEvent.push_back(store->boolean(consentKey));
    recorded.track(name, std::move(data));
  }
};

class Screens : public ::testing::Test {
 protected:
  void launch(std::shared_ptr<KeyValueStoring> withStore = nullptr) {
    if (withStore) store = std::move(withStore);
    tracker->store = store;
    lifecycle = std::make_unique<RunLifecycle>(store, tracker->recorded);
    AppServices services;
    services.processRunner = processes;
    services.fs = fs;
    services.store = store;
    root = std::make_unique<RootModel>(RootDependencies{
        .services = services,
        .config = config,
        .tracker = tracker,
        .onceOnly = std::make_shared<OnceOnlyEvents>(),
        .lifecycle = lifecycle.get(),
        .runID = "aaaaaaaa-bbbb-4ccc-8ddd-eeeeeeeeeeee",
        .executor = executor,
        .platform = &platform,
        .profiler =
            [this] {
              ++profiles;
              if (slowProfile) slowProfile->wait();
              return SystemProfile{};
            },
    });
    engine = std::make_unique<QQmlApplicationEngine>();
    engine->setInitialProperties({{"app", QVariant::fromValue(root.get())}});
    engine->load(QUrl("qrc:/Benchkit/Main.qml"));
    ASSERT_EQ(engine->rootObjects().size(), 1);
    window = qobject_cast<QQuickWindow*>(engine->rootObjects().constFirst());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  }

  void TearDown() override {
    if (releaseProfile) releaseProfile->set_value();
    engine.reset();
    root.reset();
  }

  // The visible item of that name, found through the visual tree (a Repeater's
  // items have no QObject parent to find them by).
  static QQuickItem* shownUnder(QQuickItem* item, const QString& name) {
    if (!item->isVisible()) return nullptr;
    if (item->objectName() == name) return item;
    for (QQuickItem* child : item->childItems()) {
      if (QQuickItem* found = shownUnder(child, name)) return found;
    }
    return nullptr;
  }
  QQuickItem* shown(const char* name) { return shownUnder(window->contentItem(), name); }
  bool waitShown(const char* name) {
    return QTest::qWaitFor([&] { return shown(name) != nullptr; }, 3000);
  }
  QString text(const char* name) {
    auto* item = shown(name);
    return item ? item->property("text").toString() : QString("<%1 not shown>").arg(name);
  }
  void click(const char* name) {
    // Settle any page transition first, so the click lands where the item is.
    if (QQuickItem* stack = shown("navigation-stack")) {
      ASSERT_TRUE(QTest::qWaitFor([&] { return !stack->property("busy").toBool(); }, 3000));
    }
    QQuickItem* item = shown(name);
    ASSERT_NE(item, nullptr) << name;
    const QPointF centre = item->mapToScene({item->width() / 2, item->height() / 2});
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
  }
  // A launch after consent was given on an earlier one: the welcome screen.
  void launchConsented() {
    store->set(StoredValue{true}, consentKey);
    launch();
    ASSERT_TRUE(waitShown("welcome-screen"));
  }
  // The profiler waits until releaseTheProfile().
  void makeProfileSlow() {
    releaseProfile.emplace();
    slowProfile = releaseProfile->get_future().share();
  }
  void releaseTheProfile() {
    releaseProfile->set_value();
    releaseProfile.reset();
  }

  TempDir temp;
  ProductConfig config = pythonProduct();
  std::shared_ptr<KeyValueStoring> store = std::make_shared<MemoryKeyValueStore>();
  std::shared_ptr<OrderCheckingTracker> tracker = std::make_shared<OrderCheckingTracker>();
  std::shared_ptr<ScriptedProcessRunner> processes = std::make_shared<ScriptedProcessRunner>();
  std::shared_ptr<RootedFileSystem> fs = std::make_shared<RootedFileSystem>(temp.path());
  std::shared_ptr<QtExecutor> executor = std::make_shared<QtExecutor>();
  ScriptedPlatform platform;
  std::atomic<int> profiles = 0;
  std::optional<std::promise<void>> releaseProfile;
  std::optional<std::shared_future<void>> slowProfile;
  std::unique_ptr<RunLifecycle> lifecycle;
  std::unique_ptr<RootModel> root;
  std::unique_ptr<QQmlApplicationEngine> engine;
  QQuickWindow* window = nullptr;
};

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

TEST_F(Screens, TheWelcomeButtonAsksTheExperienceQuestionThenSaysTheSetupIsNotBuilt) {
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
  ASSERT_TRUE(waitShown("setup-not-built"));

  click("setup-not-built-back");
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
