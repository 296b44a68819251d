#pragma once

#include <QtQml/qqmlregistration.h>
#include <QCoreApplication>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/platform/app_services.h"
#include "engine/platform/executor.h"
#include "engine/probes/system_profile.h"
#include "engine/telemetry/run_lifecycle.h"
#include "engine/telemetry/usage_event_tracking.h"
#include "engine/workflow/once_only_events.h"
#include "engine/workflow/product_config.h"
#include "ui/action_progress_model.h"
#include "ui/feedback_card_model.h"
#include "ui/navigation_model.h"
#include "ui/offer_view_model.h"
#include "ui/platform_services.h"
#include "ui/prompt_view_model.h"
#include "ui/workflow_screen_model.h"

namespace bnch::ui {

class FlowModel;

// What the root of the window works with. The application passes the live
// services; screen tests pass fakes. Pointers and references must outlive the
// root model.
struct RootDependencies {
  AppServices services;
  ProductConfig config;
  std::shared_ptr<UsageEventTracking> tracker;
  // The once-only event markers every flow model of the process shares.
  std::shared_ptr<OnceOnlyEvents> onceOnly;
  RunLifecycle* lifecycle = nullptr;
  // The telemetry service's run identifier in lower case.
  std::string runID;
  std::shared_ptr<Executor> executor;
  PlatformServices* platform = nullptr;
  // Profiles the Mac (blocking, off the GUI thread). Empty: a SystemProfiler
  // over the services' process runner and file system.
  std::function<SystemProfile()> profiler;
  // Makes the runner of approved installs. Empty: the live runner over `services`.
  RemediationRunnerFactory remediationRunner;
  // Counts each remediation's attempts for the process. Empty: the root model's own.
  std::shared_ptr<RemediationAttempts> attempts;
  // Ends the program (the competing-owner screen's "Cancel and quit"). Empty:
  // the application's quit, which the quit guard still checks.
  std::function<void()> quit;
};

// The root of the window: the consent gate, the navigation path, the system
// profile loaded once, the run lifecycle's appearance, the quit guard and the
// texts of the first screens. GUI thread only.
class RootModel : public QObject {
  Q_OBJECT
  QML_ELEMENT
  QML_UNCREATABLE("The application makes the root model")
  Q_PROPERTY(bool hasConsented READ hasConsented NOTIFY hasConsentedChanged)
  Q_PROPERTY(bool hasProfile READ hasProfile NOTIFY profileChanged)
  Q_PROPERTY(bnch::ui::NavigationModel* navigation READ navigation CONSTANT)
  Q_PROPERTY(QString displayName READ displayName CONSTANT)
  Q_PROPERTY(QString welcomeTitle READ welcomeTitle CONSTANT)
  Q_PROPERTY(QString welcomeExplainer READ welcomeExplainer CONSTANT)
  Q_PROPERTY(QString primaryCTA READ primaryCTA CONSTANT)
  Q_PROPERTY(QString consentHeadline READ consentHeadline CONSTANT)
  Q_PROPERTY(QString consentWhatTitle READ consentWhatTitle CONSTANT)
  Q_PROPERTY(QStringList consentWhatBullets READ consentWhatBullets CONSTANT)
  Q_PROPERTY(QString consentPrivacyTitle READ consentPrivacyTitle CONSTANT)
  Q_PROPERTY(QStringList consentPrivacyBullets READ consentPrivacyBullets CONSTANT)
  Q_PROPERTY(QString privacyURL READ privacyURL CONSTANT)
  // The welcome screen asks the product's goal question (after its main button).
  Q_PROPERTY(bool askingGoal READ askingGoal NOTIFY askingGoalChanged)
  Q_PROPERTY(bool hasNextStepPrompt READ hasNextStepPrompt CONSTANT)

 public:
  explicit RootModel(RootDependencies dependencies, QObject* parent = nullptr);
  ~RootModel() override;

  bool hasConsented() const { return hasConsented_; }
  bool hasProfile() const { return profile_.has_value(); }
  const std::optional<SystemProfile>& profile() const { return profile_; }
  NavigationModel* navigation() const { return navigation_; }
  QString displayName() const;
  QString welcomeTitle() const;
  QString welcomeExplainer() const;
  QString primaryCTA() const;
  QString consentHeadline() const;
  QString consentWhatTitle() const;
  QStringList consentWhatBullets() const;
  QString consentPrivacyTitle() const;
  QStringList consentPrivacyBullets() const;
  QString privacyURL() const;
  bool askingGoal() const { return askingGoal_; }
  bool hasNextStepPrompt() const { return deps_.config.nextStepPrompt.has_value(); }

  // The consent screen's "Continue": stores the flag, sends "consent_given",
  // then opens the gate. A flag that cannot be stored is logged; consent still
  // goes on for this launch.
  Q_INVOKABLE void giveConsent();
  // The welcome screen's main button: asks the product's goal question when it
  // has one (its answer opens the flow), otherwise pushes the product's flow.
  Q_INVOKABLE void startFlow();
  // The navigation stack was shown: loads the profile once (in the background;
  // nothing waits on it), then tells the run lifecycle.
  Q_INVOKABLE void stackAppeared();
  // A new flow model for one visit of the workflow screen, owned by `owner`.
  Q_INVOKABLE bnch::ui::FlowModel* makeFlowModel(QObject* owner);
  // The workflow screen's texts and operations over that flow model.
  Q_INVOKABLE bnch::ui::WorkflowScreenModel* makeWorkflowScreenModel(bnch::ui::FlowModel* flow);
  // The goal and next-step questions of the product, owned by `owner`; null
  // when the product has no such question.
  Q_INVOKABLE bnch::ui::PromptViewModel* makeGoalPrompt(QObject* owner);
  Q_INVOKABLE bnch::ui::PromptViewModel* makeNextStepPrompt(QObject* owner);
  // The offer screen of a navigation entry ("content_offer" with its offer
  // identifier, "guided_help_offer", "ai_coding_offer"), owned by `owner`; null
  // for any other screen.
  Q_INVOKABLE bnch::ui::OfferViewModel* makeOfferView(const QString& screen, const QString& offerID, QObject* owner);
  // An NPS card, owned by `owner`.
  Q_INVOKABLE bnch::ui::FeedbackCardModel* makeNPSCard(QObject* owner);
  // Opens the address in the browser; when that fails, an alert gives the address.
  Q_INVOKABLE bool openURL(const QString& url);
  // The window asks to close. Refused with the alert while an install runs;
  // otherwise the lifecycle hears of the close.
  Q_INVOKABLE bool windowMayClose();
  // The application was asked to quit: true to quit; false (with the alert)
  // while an install runs.
  bool quitMayProceed();
  // The application is about to quit: the lifecycle marks the run clean.
  void willTerminate();
  // Guards the application's quit requests (a refused one is ignored, so the
  // program stays open) and reports the quit to the lifecycle.
  void installQuitGuard(QCoreApplication* application);

  // Shows an alert in the window (the live platform services' presenter).
  void presentAlert(const Alert& alert);

 signals:
  void hasConsentedChanged();
  void profileChanged();
  void askingGoalChanged();
  void alertPresented(const QString& message, const QString& informativeText, const QString& buttonTitle);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The screen that starts the product's flow.
  Screen flowScreen() const;
  void tellLifecycle();
  void showQuitAlert(const QuitDecision& decision);

  RootDependencies deps_;
  NavigationModel* navigation_;
  bool hasConsented_ = false;
  bool askingGoal_ = false;
  std::optional<SystemProfile> profile_;
  bool profiling_ = false;
  // Appearances that came while the profile was loading; each tells the lifecycle once it is in.
  int appearancesWaiting_ = 0;
  bool terminating_ = false;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace bnch::ui
