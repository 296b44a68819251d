#include "ui/root_model.h"

#include <QEvent>
#include <QLoggingCategory>
#include <QPointer>
#include <QQmlEngine>

#include "engine/platform/shell_runner.h"
#include "engine/probes/system_profiler.h"
#include "engine/product/live_runtime.h"
#include "engine/telemetry/usage_events.h"
#include "engine/workflow/nps_feedback.h"
#include "ui/flow_model.h"
#include "ui/qt_text.h"
#include "ui/workflow_screen_model.h"

namespace bnch::ui {

namespace {
Q_LOGGING_CATEGORY(rootLog, "bnch.root")
constexpr const char* consentedSuffix = ".consented";

// Screens and cards made for QML belong to their owner (the screen, for its
// visit), never to the garbage collector.
template <typename Model>
Model* ownedBy(Model* model) {
  QQmlEngine::setObjectOwnership(model, QQmlEngine::CppOwnership);
  return model;
}
}  // namespace

RootModel::RootModel(RootDependencies dependencies, QObject* parent)
    : QObject(parent), deps_(std::move(dependencies)), navigation_(new NavigationModel(this)) {
  Q_ASSERT(deps_.onceOnly && deps_.lifecycle && deps_.executor && deps_.platform);
  hasConsented_ = deps_.services.store && deps_.services.store->boolean(deps_.config.defaultsKey(consentedSuffix));
  if (!deps_.profiler) {
    deps_.profiler = [services = deps_.services, environment = ProfilerEnvironment::current()] {
      const ShellRunner shell(services.processRunner);
      return SystemProfiler(shell, *services.fs, environment).profile();
    };
  }
  if (!deps_.remediationRunner) {
    deps_.remediationRunner = [services = deps_.services,
                               product = ProductNames(deps_.config)](const SystemProfile& profile) {
      return makeLiveRemediationRunner(services, product, profile);
    };
  }
  if (!deps_.attempts) deps_.attempts = std::make_shared<RemediationAttempts>();
  // Back at the welcome screen, the welcome comes first again.
  connect(navigation_, &NavigationModel::pathChanged, this, [this] {
    if (navigation_->depth() == 0 && askingGoal_) {
      askingGoal_ = false;
      emit askingGoalChanged();
    }
  });
}

RootModel::~RootModel() = default;

QString RootModel::displayName() const { return toQt(deps_.config.displayName); }
QString RootModel::welcomeTitle() const {
  return toQt(deps_.config.copy.welcomeHeadline.value_or(deps_.config.displayName));
}
QString RootModel::welcomeExplainer() const { return toQt(deps_.config.copy.welcomeExplainer); }
QString RootModel::primaryCTA() const { return toQt(deps_.config.copy.primaryCTA); }
QString RootModel::consentHeadline() const { return toQt("Welcome to " + deps_.config.displayName); }
QString RootModel::consentWhatTitle() const { return toQt(deps_.config.consent.whatTitle); }
QStringList RootModel::consentWhatBullets() const { return toQt(deps_.config.consent.whatBullets); }
QString RootModel::consentPrivacyTitle() const { return toQt(deps_.config.consent.privacyTitle); }
QStringList RootModel::consentPrivacyBullets() const { return toQt(deps_.config.consent.privacyBullets); }
QString RootModel::privacyURL() const { return toQt(deps_.config.urls.privacy); }

void RootModel::giveConsent() {
  if (hasConsented_) return;
  const std::string key = deps_.config.defaultsKey(consentedSuffix);
  // Stored first, so that a quit right after "Continue" keeps the consent.
  if (deps_.services.store) {
    deps_.services.store->set(StoredValue{true}, key);
    if (!deps_.services.store->boolean(key))
      qCWarning(rootLog) << "Couldn't store the consent; asking again next launch";
  }
  if (deps_.tracker) track(*deps_.tracker, usage_events::consentGiven());
  hasConsented_ = true;
  emit hasConsentedChanged();
}

Screen RootModel::flowScreen() const {
  return Screen{deps_.config.flow == SetupFlow::setupWorkflow ? Screen::Kind::setupWorkflow : Screen::Kind::diagnose};
}

void RootModel::startFlow() {
  if (deps_.config.goalPrompt) {
    if (!askingGoal_) {
      askingGoal_ = true;
      emit askingGoalChanged();
    }
    return;
  }
  navigation_->push(flowScreen());
}

void RootModel::stackAppeared() {
  if (profile_ || deps_.services.isFixtureMode) {
    tellLifecycle();
    return;
  }
  ++appearancesWaiting_;
  if (profiling_) return;  // the profile in flight answers this appearance too
  profiling_ = true;
  std::weak_ptr<int> alive = alive_;
  auto executor = deps_.executor;
  executor->background([this, alive, executor, profiler = deps_.profiler] {
    std::optional<SystemProfile> profile;
    try {
      profile = profiler();
    } catch (const std::exception& error) {
      qCWarning(rootLog) << "Couldn't profile the Mac:" << error.what();
    } catch (...) {
      qCWarning(rootLog) << "Couldn't profile the Mac";
    }
    executor->main([this, alive, profile = std::move(profile)]() mutable {
      if (alive.expired()) return;
      profiling_ = false;
      profile_ = std::move(profile);
      if (profile_) emit profileChanged();
      // A quit during the profile ends the run before it was reported.
      if (terminating_) return;
      for (; appearancesWaiting_ > 0; --appearancesWaiting_) tellLifecycle();
    });
  });
}

void RootModel::tellLifecycle() {
  QPointer<NavigationModel> navigation(navigation_);
  deps_.lifecycle->appeared(deps_.runID, profile_, !deps_.services.isFixtureMode,
                            [navigation] { return currentScreenName(navigation); });
}

FlowModel* RootModel::makeFlowModel(QObject* owner) {
  auto model = std::make_unique<SetupFlowModel>(deps_.services, deps_.config, deps_.tracker, deps_.executor,
                                                deps_.onceOnly, deps_.profiler);
  auto* flow = new FlowModel(std::move(model), profile_, owner ? owner : this);
  flow->enableActionProgress(ActionProgressDependencies{
      .services = deps_.services,
      .tracker = deps_.tracker,
      .attempts = deps_.attempts,
      .lifecycle = deps_.lifecycle,
      .platform = deps_.platform,
      .executor = deps_.executor,
      .makeRunner = deps_.remediationRunner,
  });
  return ownedBy(flow);
}

WorkflowScreenModel* RootModel::makeWorkflowScreenModel(FlowModel* flow) {
  if (!flow) return nullptr;
  std::function<void()> quit = deps_.quit;
  if (!quit) quit = [] { QCoreApplication::quit(); };
  auto* screen = new WorkflowScreenModel(flow, {deps_.platform, deps_.tracker, std::move(quit)}, flow);
  return ownedBy(screen);
}

PromptViewModel* RootModel::makeGoalPrompt(QObject* owner) {
  if (!deps_.config.goalPrompt) return nullptr;
  return ownedBy(
      new PromptViewModel(*deps_.config.goalPrompt, flowScreen(), navigation_, deps_.tracker, owner ? owner : this));
}

PromptViewModel* RootModel::makeNextStepPrompt(QObject* owner) {
  if (!deps_.config.nextStepPrompt) return nullptr;
  return ownedBy(new PromptViewModel(*deps_.config.nextStepPrompt, navigation_, deps_.tracker, owner ? owner : this));
}

OfferViewModel* RootModel::makeOfferView(const QString& screen, const QString& offerID, QObject* owner) {
  OfferViewModel::Kind kind;
  std::string id;
  if (screen == QLatin1String(screenName(Screen::Kind::contentOffer).data())) {
    kind = OfferViewModel::Kind::content;
    id = toStd(offerID);
  } else if (screen == QLatin1String(screenName(Screen::Kind::guidedHelpOffer).data())) {
    kind = OfferViewModel::Kind::guidedHelp;
    id = "guided_help_plan";
  } else if (screen == QLatin1String(screenName(Screen::Kind::aiCodingOffer).data())) {
    kind = OfferViewModel::Kind::aiCoding;
    id = "ai_coding_setup";
  } else {
    return nullptr;
  }
  std::optional<OfferSpec> spec;
  if (const auto found = deps_.config.offerCatalog.find(id); found != deps_.config.offerCatalog.end()) {
    spec = found->second;
  }
  OfferViewModel::Context context{
      .spec = std::move(spec),
      .navigation = navigation_,
      .tracker = deps_.tracker,
      .openURL = [this](const QString& url) { return openURL(url); },
  };
  return ownedBy(new OfferViewModel(kind, std::move(id), std::move(context), owner ? owner : this));
}

FeedbackCardModel* RootModel::makeNPSCard(QObject* owner) {
  auto feedback =
      std::make_shared<NPSFeedback>(deps_.tracker, RunMemory(deps_.services.store, deps_.config), deps_.onceOnly);
  FeedbackCardModel::Answers answers{
      .submit = [feedback](int score, const std::string& reason) { return feedback->submit(score, reason); },
      .dismiss = [feedback] { feedback->dismiss(); },
  };
  return ownedBy(
      new FeedbackCardModel(FeedbackCardModel::Wording::nps, displayName(), std::move(answers), owner ? owner : this));
}

bool RootModel::openURL(const QString& url) {
  if (deps_.platform->openURL(url)) return true;
  // Say so, with the address to open by hand.
  deps_.platform->showAlert(Alert{QStringLiteral("Couldn't open the browser"),
                                  QStringLiteral("To read this page, open %1 in your browser.").arg(url),
                                  QStringLiteral("OK")});
  return false;
}

void RootModel::showQuitAlert(const QuitDecision& decision) {
  deps_.platform->showAlert(
      Alert{toQt(decision.messageText), toQt(decision.informativeText), toQt(decision.buttonTitle)});
}

bool RootModel::windowMayClose() {
  // Without a Dock to bring a closed window back, a close during an install
  // would leave the install running out of sight: refuse it as a quit is.
  if (!deps_.lifecycle->shouldTerminateAfterLastWindowClosed()) {
    showQuitAlert(deps_.lifecycle->shouldTerminate());
    return false;
  }
  deps_.lifecycle->windowWillClose(false, false, true);
  return true;
}

bool RootModel::quitMayProceed() {
  const QuitDecision decision = deps_.lifecycle->shouldTerminate();
  if (!decision.terminate) showQuitAlert(decision);
  return decision.terminate;
}

void RootModel::willTerminate() {
  terminating_ = true;
  deps_.lifecycle->willTerminate();
}

void RootModel::installQuitGuard(QCoreApplication* application) {
  application->installEventFilter(this);
  connect(application, &QCoreApplication::aboutToQuit, this, &RootModel::willTerminate);
}

bool RootModel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Quit && watched == QCoreApplication::instance() && !quitMayProceed()) {
    event->ignore();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

void RootModel::presentAlert(const Alert& alert) {
  emit alertPresented(alert.message, alert.informativeText, alert.buttonTitle);
}

}  // namespace bnch::ui
