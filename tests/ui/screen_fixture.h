#pragma once

// The screen-test fixture: the real QML window over a root model with fake
// engine services and scripted platform services, found and clicked by
// objectName.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <atomic>
#include <future>

#include "engine/probes/setup_prober.h"
#include "engine/product/python_product.h"
#include "engine/product/python_render_policy.h"
#include "engine/verification/setup_verifier.h"
#include "engine/workflow/product_config.h"
#include "tests/support/memory_key_value_store.h"
#include "tests/support/recording_usage_event_tracker.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/scripted_process_runner.h"
#include "tests/support/temp_dir.h"
#include "ui/qt_executor.h"
#include "ui/root_model.h"

namespace bnch::ui {

using testing::MemoryKeyValueStore;
using testing::RecordingUsageEventTracker;
using testing::RootedFileSystem;
using testing::ScriptedProcessRunner;
using testing::TempDir;

inline const std::string consentKey = pythonProduct().defaultsKey(".consented");

// Records what the screens ask of the desktop; `browserWorks` false makes
// every URL fail to open.
struct ScriptedPlatform final : PlatformServices {
  std::vector<QString> openedURLs;
  std::vector<Alert> alerts;
  std::vector<QString> clipboard;
  std::vector<QString> revealed;
  std::vector<QString> openedApps;
  // The folder chooser's answer; nothing is a cancel.
  std::optional<QString> chosenFolder;
  bool browserWorks = true;

  bool openURL(const QString& url) override {
    openedURLs.push_back(url);
    return browserWorks;
  }
  void copyToClipboard(const QString& text) override { clipboard.push_back(text); }
  void showAlert(const Alert& alert) override { alerts.push_back(alert); }
  void chooseFolder(const QString&, std::function<void(std::optional<QString>)> done) override { done(chosenFolder); }
  bool revealFolder(const QString& path) override {
    revealed.push_back(path);
    return true;
  }
  bool openApplication(const QString& path) override {
    openedApps.push_back(path);
    return true;
  }
};

// Answers every probe with `bundle`, which a test may change between probes.
struct ScriptedProber final : SetupProber {
  std::shared_ptr<SetupProbeBundle> bundle = std::make_shared<SetupProbeBundle>();
  SetupProbeBundle probe(const ShellRunner&, FileSystemOperating&) const override { return *bundle; }
};

// Answers with `result`; with `gate` set, waits for it first (a verification in flight).
struct ScriptedVerifier final : SetupVerifier {
  std::shared_ptr<SetupVerificationResult> result = std::make_shared<SetupVerificationResult>();
  std::shared_ptr<std::shared_future<void>> gate = std::make_shared<std::shared_future<void>>();
  SetupVerificationResult verify(const std::optional<SystemProfile>&, const ShellRunner&,
                                 FileSystemOperating&) const override {
    if (gate->valid()) gate->wait();
    return *result;
  }
};

// The Python product with scripted probes and verification, and without the
// network and disk checks (which would reach the network).
inline ProductConfig scriptedPythonProduct(std::shared_ptr<UsageEventTracking> tracker,
                                           std::shared_ptr<const SetupProber> prober,
                                           std::shared_ptr<const SetupVerifier> verifier) {
  ProductConfig config = pythonProduct();
  auto policy = std::make_shared<SpineRenderPolicy>(*makePythonRenderPolicy(std::move(tracker)));
  policy->networkReadiness.reset();
  policy->diskReadiness.reset();
  config.spinePolicy = std::move(policy);
  config.prober = std::move(prober);
  config.verifier = std::move(verifier);
  return config;
}

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
  std::vector<std::string> typedValues;
  void rememberTypedValue(const std::string& value) override { typedValues.push_back(value); }
  void track(const std::string& name, JSONObject data) override {
    if (name == "consent_given") flagStoredAtConsentEvent.push_back(store->boolean(consentKey));
    recorded.track(name, std::move(data));
  }
};

class Screens : public ::testing::Test {
 public:
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
              return profile;
            },
        .quit = [this] { ++quits; },
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
  std::shared_ptr<OrderCheckingTracker> tracker = std::make_shared<OrderCheckingTracker>();
  std::shared_ptr<ScriptedProber> prober = std::make_shared<ScriptedProber>();
  std::shared_ptr<ScriptedVerifier> verifier = std::make_shared<ScriptedVerifier>();
  ProductConfig config = scriptedPythonProduct(tracker, prober, verifier);
  std::shared_ptr<KeyValueStoring> store = std::make_shared<MemoryKeyValueStore>();
  std::shared_ptr<ScriptedProcessRunner> processes = std::make_shared<ScriptedProcessRunner>();
  std::shared_ptr<RootedFileSystem> fs = std::make_shared<RootedFileSystem>(temp.path());
  std::shared_ptr<QtExecutor> executor = std::make_shared<QtExecutor>();
  ScriptedPlatform platform;
  std::atomic<int> profiles = 0;
  // What the profiler answers; `quits` counts the program's quit requests.
  SystemProfile profile;
  int quits = 0;
  std::optional<std::promise<void>> releaseProfile;
  std::optional<std::shared_future<void>> slowProfile;
  std::unique_ptr<RunLifecycle> lifecycle;
  std::unique_ptr<RootModel> root;
  std::unique_ptr<QQmlApplicationEngine> engine;
  QQuickWindow* window = nullptr;
};

}  // namespace bnch::ui
